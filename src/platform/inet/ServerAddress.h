#pragma once
// The server text of a connection: a host name or address with an optional port.

#include <optional>
#include <string>
#include <string_view>

namespace skyhaul::inet {

inline constexpr int kFtpDefaultPort = 21;

struct ServerAddress {
  std::string host;  // name or numeric address, without brackets
  int port = kFtpDefaultPort;
};

// Reads "host", "host:port", "[v6 address]", "[v6 address]:port" or a bare v6 address (two or
// more colons, no brackets: all of it is the address). Without a port in the text, `port` is
// used when it is not 0, else 21. Nothing for an empty host or a port that is not 1 to 65535.
std::optional<ServerAddress> parseServerAddress(std::string_view text, int port);

}  // namespace skyhaul::inet
