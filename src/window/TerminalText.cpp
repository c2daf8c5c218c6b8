#include "window/TerminalText.h"

#include <algorithm>

namespace skyhaul::window {
namespace {

constexpr const char* kEllipsis = "…";
constexpr std::size_t kShortestName = 5;  // shorter than this, a name tells nothing

bool startsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

// The first `count` characters of `text`.
std::string headOf(const std::string& text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t seen = 0; end < text.size(); ++end) {
    if (startsCharacter(text[end]) && seen++ == count) break;
  }
  return text.substr(0, end);
}

// The last `count` characters of `text`.
std::string tailOf(const std::string& text, std::size_t count) {
  std::size_t begin = text.size();
  for (std::size_t seen = 0; begin > 0 && seen < count;) {
    --begin;
    if (startsCharacter(text[begin])) ++seen;
  }
  return text.substr(begin);
}

std::string shortened(const std::string& name, std::size_t columns) {
  if (columnsOf(name) <= columns) return name;
  const std::size_t kept = columns - 1;
  return headOf(name, kept / 2) + kEllipsis + tailOf(name, kept - kept / 2);
}

}  // namespace

std::size_t columnsOf(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), startsCharacter));
}

std::string fitMeterLine(const std::string& file, const std::string& figures, int columns) {
  const std::string whole = file.empty() ? figures : file + ": " + figures;
  if (columns <= 0) return whole;
  const auto room = static_cast<std::size_t>(columns - 1);
  if (columnsOf(whole) <= room) return whole;
  const std::size_t figureColumns = columnsOf(figures);
  if (!file.empty() && room >= figureColumns + 2 + kShortestName) {
    return shortened(file, room - figureColumns - 2) + ": " + figures;
  }
  return headOf(figures, room);
}

}  // namespace skyhaul::window
