#pragma once
// The server text of a connection: an optional scheme, a host name or address, an optional port.
// The schemes this program speaks, their default ports and what carries each are one table.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace skyhaul::inet {

// How an FTP control connection is protected: not at all, by AUTH TLS after the greeting
// (explicit, ftpes://), or from its first byte (implicit, ftps://).
enum class Security { Plain, ExplicitTls, ImplicitTls };

// The protocol a session speaks.
enum class Protocol { Ftp, Sftp };

// One scheme a server text may begin with ("name://").
struct Scheme {
  std::string_view name;  // lower case
  int defaultPort;
  Protocol protocol;
  Security security;  // FTP's protection; SFTP is protected by SSH itself
};

// Every scheme this program speaks. A text without one is plain FTP, the first.
inline constexpr std::array<Scheme, 4> kSchemes{{
    {"ftp", 21, Protocol::Ftp, Security::Plain},
    {"ftpes", 21, Protocol::Ftp, Security::ExplicitTls},
    {"ftps", 990, Protocol::Ftp, Security::ImplicitTls},
    {"sftp", 22, Protocol::Sftp, Security::Plain},
}};

// The scheme named `name` in any (ASCII) case; nothing for one this program does not speak.
std::optional<Scheme> findScheme(std::string_view name);

// The default port of the scheme named `name` exactly as in kSchemes; 0 for none.
constexpr int defaultPortOf(std::string_view name) {
  for (const Scheme& scheme : kSchemes) {
    if (scheme.name == name) return scheme.defaultPort;
  }
  return 0;
}

struct ServerAddress {
  std::string host;  // name or numeric address, without brackets
  int port = kSchemes.front().defaultPort;
  Scheme scheme = kSchemes.front();
};

// Reads "[scheme://]host[:port][/]": a scheme of kSchemes (any case; none is plain FTP), then
// "host", "host:port", "[v6 address]", "[v6 address]:port" or a bare v6 address (two or more
// colons, no brackets: all of it is the address). Without a port in the text, `port` is used
// when it is not 0, else the scheme's default port. Nothing for an unknown scheme, an empty
// host or a port that is not 1 to 65535.
std::optional<ServerAddress> parseServerAddress(std::string_view text, int port);

// What a server text names, as a record tells it: the scheme in lower case ("ftp" when the text
// has none), the host and the port (the scheme's default when the text has none). Nothing when
// the text names no server.
struct ServerParts {
  std::string scheme;
  std::string host;
  int port = kSchemes.front().defaultPort;
};
std::optional<ServerParts> serverParts(std::string_view text);

}  // namespace skyhaul::inet
