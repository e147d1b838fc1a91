// Winsock for the network classes: started once per process, host names resolved, error texts.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <optional>
#include <string>

namespace vorlo::net {

// WSAStartup for version 2.2, once; false when Winsock cannot be had.
bool startWinsock();
// The host's first IPv4 address by name (gethostbyname), else as a dotted address.
std::optional<in_addr> resolveIPv4(const std::string& host);
// The system's ANSI message for a Winsock or WinINet error code ("error N" when it has none).
std::string socketErrorText(uint32_t code);

}  // namespace vorlo::net
