#include "platform/Wildcard.h"

namespace skyhaul::platform {

bool hasWildcards(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

bool matchesWildcard(std::string_view pattern, std::string_view name) {
  if (!name.empty() && name[0] == '.' && (pattern.empty() || pattern[0] != '.')) return false;
  // Greedy matching that backs up to the last "*" on a mismatch: linear in practice.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = std::string_view::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

MaskParts splitMask(std::string_view mask) {
  const auto slash = mask.rfind('/');
  if (slash == std::string_view::npos) return {"", std::string(mask)};
  const std::string directory(slash == 0 ? mask.substr(0, 1) : mask.substr(0, slash));
  return {directory, std::string(mask.substr(slash + 1))};
}

}  // namespace skyhaul::platform
