#include "settings/IniLine.h"

#include <locale.h>
#include <wctype.h>

#include <cstddef>
#include <cstdint>

#include "platform/Ascii.h"

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

// A byte that starts no valid UTF-8 sequence stands for itself, apart from every character.
constexpr std::uint32_t kRawByte = 0x110000;

// The character at the front of `text` (taken off it): its code point, or kRawByte plus the
// byte when the bytes there are not a whole, shortest-form UTF-8 sequence.
std::uint32_t takeCharacter(std::string_view& text) {
  const auto lead = static_cast<unsigned char>(text.front());
  const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
  bool valid = lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4 && text.size() >= length);
  for (std::size_t i = 1; valid && i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    valid = (next & 0xC0) == 0x80;
    code = (code << 6) | (next & 0x3F);
  }
  constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  valid =
      valid && code >= kShortest[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
  if (!valid) {
    text.remove_prefix(1);
    return kRawByte + lead;
  }
  text.remove_prefix(length);
  return code;
}

void appendCharacter(std::string& text, std::uint32_t code) {
  if (code >= kRawByte) {
    text += static_cast<char>(code - kRawByte);
  } else if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Letter case is folded by Unicode's rules whatever the user's locale (a scheduler often runs
// with none), so that [Čas] names the section čas.
std::uint32_t foldedCase(std::uint32_t code) {
  if (code < 0x80) return static_cast<unsigned char>(platform::asciiLower(static_cast<char>(code)));
  if (code >= kRawByte) return code;
  static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (unicode == nullptr) return code;
  return static_cast<std::uint32_t>(::towlower_l(static_cast<wint_t>(code), unicode));
}

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
  while (!a.empty() && !b.empty()) {
    if (foldedCase(takeCharacter(a)) != foldedCase(takeCharacter(b))) return false;
  }
  return a.empty() && b.empty();
}

std::string foldedName(std::string_view name) {
  std::string folded;
  while (!name.empty()) {
    const std::uint32_t code = foldedCase(takeCharacter(name));
    appendCharacter(folded, code);
  }
  return folded;
}

std::string iniValue(std::string_view raw) {
  if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
    raw = raw.substr(1, raw.size() - 2);
  }
  // Cut after whole characters, never inside one.
  std::string_view rest = raw;
  for (std::size_t kept = 0; kept < kMaxValueLength && !rest.empty(); ++kept) takeCharacter(rest);
  return std::string(raw.substr(0, raw.size() - rest.size()));
}

}  // namespace skyhaul::settings
