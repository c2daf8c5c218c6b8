#include "platform/inet/ftp/DigestReplies.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/Ascii.h"

namespace skyhaul::inet::detail {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \r\n");
  return text.substr(first, last - first + 1);
}

// The last line of a (possibly multi-line) reply, without its line end.
std::string_view lastLine(std::string_view text) {
  text = trimmed(text);
  const auto end = text.rfind('\n');
  return end == std::string_view::npos ? text : trimmed(text.substr(end + 1));
}

// The next word of `text` from `pos`, moving `pos` past it and the blanks after it.
std::string_view nextWord(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && text[pos] != ' ') ++pos;
  const std::string_view word = text.substr(start, pos - start);
  while (pos < text.size() && text[pos] == ' ') ++pos;
  return word;
}

std::optional<std::int64_t> decimal(std::string_view text) {
  std::int64_t value = 0;
  if (text.empty() || !platform::isAsciiDigit(text.front())) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The words after the code of a final line "DDD ...", or nothing when it is not one.
std::optional<std::string_view> afterCode(std::string_view line) {
  if (line.size() < 5 || !platform::isAsciiDigit(line[0]) || !platform::isAsciiDigit(line[1]) ||
      !platform::isAsciiDigit(line[2]) || line[3] != ' ') {
    return std::nullopt;
  }
  return line.substr(4);
}

}  // namespace

HashFeature parseHashFeature(std::string_view facts) {
  HashFeature feature;
  facts = trimmed(facts);
  while (!facts.empty()) {
    const auto end = std::min(facts.find(';'), facts.size());
    std::string_view name = trimmed(facts.substr(0, end));
    facts.remove_prefix(std::min(end + 1, facts.size()));
    const bool starred = !name.empty() && name.back() == '*';
    if (starred) name.remove_suffix(1);
    const auto algorithm = platform::digestNamed(name);
    if (!algorithm) continue;
    feature.algorithms.push_back(*algorithm);
    if (starred) feature.selected = algorithm;
  }
  return feature;
}

std::optional<std::string> normalDigestHex(std::string_view hex, DigestAlgorithm algorithm) {
  const std::size_t length = platform::digestHexLength(algorithm);
  if (algorithm == DigestAlgorithm::Crc32 && hex.size() > 2 && hex[0] == '0' &&
      (hex[1] == 'x' || hex[1] == 'X')) {
    hex.remove_prefix(2);
  }
  const bool shortCrc = algorithm == DigestAlgorithm::Crc32 && hex.size() < length;
  if (hex.empty() || (hex.size() != length && !shortCrc)) return std::nullopt;
  std::string normal(length - hex.size(), '0');
  for (const char c : hex) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    normal += platform::asciiLower(c);
  }
  return normal;
}

std::optional<HashAnswer> parseHashReply(std::string_view text) {
  const auto words = afterCode(lastLine(text));
  if (!words) return std::nullopt;
  std::size_t pos = 0;
  HashAnswer answer;
  answer.algorithm = nextWord(*words, pos);
  const std::string_view range = nextWord(*words, pos);
  answer.hex = nextWord(*words, pos);
  const auto dash = range.find('-');
  if (answer.algorithm.empty() || answer.hex.empty() || dash == std::string_view::npos) {
    return std::nullopt;
  }
  const auto start = decimal(range.substr(0, dash));
  const auto end = decimal(range.substr(dash + 1));
  if (!start || !end) return std::nullopt;
  answer.start = *start;
  answer.end = *end;
  return answer;
}

std::optional<std::string> parseXDigestReply(std::string_view text) {
  const auto words = afterCode(lastLine(text));
  if (!words) return std::nullopt;
  std::size_t pos = 0;
  const std::string_view value = nextWord(*words, pos);
  if (value.empty()) return std::nullopt;
  return std::string(value);
}

}  // namespace skyhaul::inet::detail
