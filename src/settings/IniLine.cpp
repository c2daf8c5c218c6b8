#include "settings/IniLine.h"

#include <algorithm>
#include <cstddef>

namespace skyhaul::settings {

namespace {

// The profile reader hands back at most this many characters of a value.
constexpr std::size_t kMaxValueLength = 254;

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

char foldedCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

IniLine parseIniLine(std::string_view line) {
  const std::string_view text = trimmed(line);
  if (text.empty() || text.front() == ';') return {};
  if (text.front() == '[') {
    // A header without its closing bracket still names a section: the rest of the line.
    const std::string_view inner = text.substr(1);
    return {IniLine::Kind::Section, trimmed(inner.substr(0, inner.find(']'))), {}};
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  return {IniLine::Kind::Pair, trimmed(text.substr(0, equals)), trimmed(text.substr(equals + 1))};
}

bool sameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return foldedCase(x) == foldedCase(y); });
}

std::string iniValue(std::string_view raw) {
  if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
    raw = raw.substr(1, raw.size() - 2);
  }
  return std::string(raw.substr(0, kMaxValueLength));
}

}  // namespace skyhaul::settings
