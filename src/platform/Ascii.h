#pragma once
// Character classes and case as protocol text and command words mean them: ASCII only, whatever
// the user's locale. (std::tolower and std::toupper follow the locale: in a Turkish one "i" is
// not the lower case of "I", and in a single-byte one the bytes of a UTF-8 name change too.)

#include <string>
#include <string_view>

namespace skyhaul::platform {

inline bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// 'A' to 'Z' become 'a' to 'z'; every other byte stays as it is.
inline char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// 'a' to 'z' become 'A' to 'Z'; every other byte stays as it is.
inline char asciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string asciiLower(std::string_view text) {
  std::string result(text);
  for (auto& c : result) c = asciiLower(c);
  return result;
}

inline std::string asciiUpper(std::string_view text) {
  std::string result(text);
  for (auto& c : result) c = asciiUpper(c);
  return result;
}

}  // namespace skyhaul::platform
