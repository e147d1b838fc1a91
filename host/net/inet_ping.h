// ICMP echo for Inet.ping: through the system's ICMP library when it is there, else over a raw
// socket. Progress goes to an event (code, milliseconds, text).
#pragma once
#include <functional>
#include <string>

namespace vorlo::net {

using PingEvent = std::function<void(int code, int time, const std::string& text)>;

// Sends `count` echo requests to the host and answers the number of replies.
int ping(const std::string& host, int count, const PingEvent& event);

}  // namespace vorlo::net
