#pragma once
// Wildcard matching of file names, the same for local folders and remote listings: many
// servers do not expand wildcards in LIST or NLST, so a remote listing is matched here too.

#include <string>
#include <string_view>

namespace skyhaul::platform {

// True when `text` holds "*" or "?".
bool hasWildcards(std::string_view text);

// Shell rules: "*" matches any run of bytes, "?" any one byte, everything else itself (case
// counts); a leading "." of the name is matched only by a leading "." of the pattern.
bool matchesWildcard(std::string_view pattern, std::string_view name);

// A mask cut at its last "/": the directory to list ("" for the current one, "/" for the root)
// and the name or pattern to look for in it.
struct MaskParts {
  std::string directory;
  std::string pattern;
};
MaskParts splitMask(std::string_view mask);

}  // namespace skyhaul::platform
