#include "settings/Filled.h"

namespace skyhaul::settings {

// Compared as unsigned bytes, so UTF-8 lead bytes count as filled like any letter.
bool IsFilled(const std::string& text) {
  if (text.empty()) return false;
  const auto first = static_cast<unsigned char>(text.front());
  return first > 0x20 || (first == 0x20 && text.size() > 1);
}

}  // namespace skyhaul::settings
