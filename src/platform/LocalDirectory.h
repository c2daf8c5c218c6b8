#pragma once
// The local file facilities of the job: listing the files that match a wildcard path, and
// deleting a file. Failures throw SystemError.

#include <string>
#include <vector>

namespace skyhaul::platform {

// The bare names of the regular files that match `pathWithMask` (a directory prefix, then a
// name or a mask with * and ?, matched by the same rules as remote listings: every other
// character, "[" and "\\" included, matches only itself), sorted by name in byte order.
// Directories and hidden files (names starting with ".") are left out. An empty directory
// part means the current directory. A directory that cannot be read throws.
std::vector<std::string> listMatchingFiles(const std::string& pathWithMask);

// Deletes a local file; throws when it cannot be deleted (already gone, no permission, ...).
void deleteLocalFile(const std::string& path);

}  // namespace skyhaul::platform
