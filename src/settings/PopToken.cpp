#include "settings/PopToken.h"

#include <cstddef>

namespace skyhaul::settings {

namespace {

// The scan position is a signed 16-bit count: a separator further in than this is not found.
constexpr std::size_t kLastScanPosition = 32767;

bool isQuote(char c) { return c == '"' || c == '\''; }
bool isSeparator(char c) { return c == ',' || c == ';'; }

// Quote characters switch quoting and vanish; code 1 stands for a literal double quote.
void appendCharacter(std::string& token, bool& quoting, char c) {
  if (isQuote(c)) {
    quoting = !quoting;
  } else {
    token.push_back(c == '\x01' ? '"' : c);
  }
}

}  // namespace

std::string PopToken(std::string& list) {
  std::string token;
  bool quoting = false;
  std::size_t position = 0;
  const std::size_t scanEnd = list.size() < kLastScanPosition ? list.size() : kLastScanPosition;
  for (; position < scanEnd; ++position) {
    const char c = list[position];
    if (!quoting && isSeparator(c)) break;
    appendCharacter(token, quoting, c);
  }
  if (position == scanEnd) {
    // No separator within reach: the whole list is the token, separators included.
    for (; position < list.size(); ++position) appendCharacter(token, quoting, list[position]);
    list.clear();
    return token;
  }
  const std::size_t rest =
      list[position] == ',' ? list.find_first_not_of(' ', position + 1) : std::string::npos;
  if (rest == std::string::npos) {
    list.clear();
  } else {
    list.erase(0, rest);
  }
  return token;
}

}  // namespace skyhaul::settings
