// The DNS MX query of Inet.mxfind over TCP port 53 of the named server.
#pragma once
#include <string>
#include <vector>

#include "host/net/dns_mx.h"

namespace vorlo::net {

// The MX records for the domain; empty when the query cannot be made or answered.
std::vector<MxRecord> queryMx(const std::string& domain, const std::string& server);

}  // namespace vorlo::net
