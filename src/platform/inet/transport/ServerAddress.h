#pragma once
// The server text of a connection: an optional scheme, a host name or address, an optional port.

#include <optional>
#include <string>
#include <string_view>

namespace skyhaul::inet {

inline constexpr int kFtpDefaultPort = 21;
inline constexpr int kFtpsDefaultPort = 990;

// How the control connection is protected: not at all, by AUTH TLS after the greeting
// (explicit, ftpes://), or from its first byte (implicit, ftps://).
enum class Security { Plain, ExplicitTls, ImplicitTls };

struct ServerAddress {
  std::string host;  // name or numeric address, without brackets
  int port = kFtpDefaultPort;
  Security security = Security::Plain;
};

// Reads "[scheme://]host[:port][/]": the scheme "ftp", "ftpes" or "ftps" (any case; none is
// plain FTP), then "host", "host:port", "[v6 address]", "[v6 address]:port" or a bare v6
// address (two or more colons, no brackets: all of it is the address). Without a port in the
// text, `port` is used when it is not 0, else 21 (990 for ftps://). Nothing for an unknown
// scheme, an empty host or a port that is not 1 to 65535.
std::optional<ServerAddress> parseServerAddress(std::string_view text, int port);

// What a server text names, as a record tells it: the scheme in lower case ("ftp" when the text
// has none; "sftp" too), the host and the port (the scheme's default when the text has none).
// Nothing when the text names no server.
struct ServerParts {
  std::string scheme;
  std::string host;
  int port = kFtpDefaultPort;
};
std::optional<ServerParts> serverParts(std::string_view text);

}  // namespace skyhaul::inet
