#pragma once
// Character classes as the protocol means them: ASCII, whatever the user's locale.

namespace skyhaul::inet::detail {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace skyhaul::inet::detail
