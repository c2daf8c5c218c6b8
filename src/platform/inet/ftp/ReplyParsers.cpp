#include "platform/inet/ftp/ReplyParsers.h"

#include "platform/Ascii.h"
#include "platform/inet/ftp/DigestReplies.h"

#include <charconv>

namespace skyhaul::inet::detail {
namespace {

// Reads a decimal number of at most 5 digits at `pos`, moving `pos` past it.
std::optional<unsigned> readNumber(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && platform::isAsciiDigit(text[pos]) && pos - start < 6) ++pos;
  if (pos == start || pos - start > 5) return std::nullopt;
  unsigned value = 0;
  std::from_chars(text.data() + start, text.data() + pos, value);
  return value;
}

// Six comma-separated numbers starting at `pos`, each at most 255.
std::optional<PassiveEndpoint> readSixNumbers(std::string_view text, std::size_t pos) {
  std::array<unsigned, 6> numbers{};
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != ',') return std::nullopt;
      ++pos;
    }
    const auto number = readNumber(text, pos);
    if (!number || *number > 255) return std::nullopt;
    numbers[i] = *number;
  }
  PassiveEndpoint endpoint;
  for (std::size_t i = 0; i < 4; ++i) endpoint.address[i] = static_cast<std::uint8_t>(numbers[i]);
  endpoint.port = static_cast<std::uint16_t>(numbers[4] * 256 + numbers[5]);
  return endpoint;
}

}  // namespace

std::optional<PassiveEndpoint> parsePasvReply(std::string_view text) {
  // Skip the reply code itself, then try every number that starts after a non-digit.
  for (std::size_t pos = 3; pos < text.size(); ++pos) {
    if (!platform::isAsciiDigit(text[pos]) || platform::isAsciiDigit(text[pos - 1])) continue;
    if (auto endpoint = readSixNumbers(text, pos)) return endpoint;
  }
  return std::nullopt;
}

std::optional<std::uint16_t> parseEpsvReply(std::string_view text) {
  const auto open = text.find('(');
  if (open == std::string_view::npos || open + 4 >= text.size()) return std::nullopt;
  const char delimiter = text[open + 1];
  if (text[open + 2] != delimiter || text[open + 3] != delimiter) return std::nullopt;
  std::size_t pos = open + 4;
  const auto port = readNumber(text, pos);
  if (!port || *port == 0 || *port > 65535) return std::nullopt;
  if (pos + 1 >= text.size() || text[pos] != delimiter || text[pos + 1] != ')') {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(*port);
}

std::optional<std::string> parsePwdReply(std::string_view text) {
  const auto open = text.find('"');
  if (open == std::string_view::npos) return std::nullopt;
  std::string directory;
  for (std::size_t pos = open + 1; pos < text.size(); ++pos) {
    if (text[pos] != '"') {
      if (text[pos] == '\r' || text[pos] == '\n') return std::nullopt;
      directory += text[pos];
    } else if (pos + 1 < text.size() && text[pos + 1] == '"') {
      directory += '"';
      ++pos;
    } else {
      return directory;
    }
  }
  return std::nullopt;
}

Features parseFeatReply(std::string_view text) {
  Features features;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    // Feature lines start with a space; the first and last lines carry the code.
    if (line.empty() || line[0] != ' ') continue;
    const auto first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) continue;
    line.remove_prefix(first);
    const std::string word = platform::asciiUpper(line.substr(0, line.find_first_of(" \r")));
    if (word == "MLST" || word == "MLSD") features.mlst = true;
    if (word == "UTF8") features.utf8 = true;
    if (word == "SIZE") features.size = true;
    if (word == "MDTM") features.mdtm = true;
    if (word == "REST") features.rest = true;
    if (word == "HASH") {
      auto hash = parseHashFeature(line.substr(word.size()));
      features.hashAlgorithms = std::move(hash.algorithms);
      features.hashSelected = hash.selected;
    }
    if (word == "RANG") features.rang = true;
    if (word == "XSHA256") features.xsha256 = true;
    if (word == "XSHA1") features.xsha1 = true;
    if (word == "XMD5") features.xmd5 = true;
    if (word == "XCRC") features.xcrc = true;
  }
  return features;
}

std::optional<std::int64_t> parseSizeReply(std::string_view text) {
  // "213 1234\r\n": the digits start after the code and its space and run to the line end.
  if (text.size() < 5 || text.substr(0, 4) != "213 ") return std::nullopt;
  text.remove_prefix(4);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  if (text.empty() || !platform::isAsciiDigit(text.front())) return std::nullopt;
  std::int64_t size = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return size;
}

}  // namespace skyhaul::inet::detail
