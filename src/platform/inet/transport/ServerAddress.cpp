#include "platform/inet/transport/ServerAddress.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "platform/Ascii.h"

namespace skyhaul::inet {
namespace {

std::optional<int> readPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), platform::isAsciiDigit)) {
    return std::nullopt;
  }
  int port = 0;
  std::from_chars(text.data(), text.data() + text.size(), port);
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

// The part after a host: "" (no port) or ":port".
std::optional<int> readPortSuffix(std::string_view rest, int fallback) {
  if (rest.empty()) return fallback;
  if (rest[0] != ':') return std::nullopt;
  return readPort(rest.substr(1));
}

// Takes "scheme://" off the front of `text`; nothing for a scheme this program does not speak.
std::optional<Scheme> takeScheme(std::string_view& text) {
  const auto separator = text.find("://");
  if (separator == std::string_view::npos) return kSchemes.front();
  const auto scheme = findScheme(text.substr(0, separator));
  text.remove_prefix(separator + 3);
  if (!text.empty() && text.back() == '/') text.remove_suffix(1);
  return scheme;
}

}  // namespace

std::optional<Scheme> findScheme(std::string_view name) {
  const std::string folded = platform::asciiLower(name);
  for (const Scheme& scheme : kSchemes) {
    if (scheme.name == folded) return scheme;
  }
  return std::nullopt;
}

std::optional<ServerAddress> parseServerAddress(std::string_view text, int port) {
  if (port < 0 || port > 65535) return std::nullopt;
  const auto scheme = takeScheme(text);
  if (!scheme) return std::nullopt;
  const int fallback = port != 0 ? port : scheme->defaultPort;
  std::string_view host = text;
  std::optional<int> chosen = fallback;
  if (!text.empty() && text[0] == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    chosen = readPortSuffix(text.substr(close + 1), fallback);
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    const auto colon = text.find(':');
    host = text.substr(0, colon);
    chosen = readPortSuffix(text.substr(colon), fallback);
  }
  if (host.empty() || !chosen) return std::nullopt;
  return ServerAddress{std::string(host), *chosen, *scheme};
}

std::optional<ServerParts> serverParts(std::string_view text) {
  const auto address = parseServerAddress(text, 0);
  if (!address) return std::nullopt;
  return ServerParts{std::string(address->scheme.name), address->host, address->port};
}

}  // namespace skyhaul::inet
