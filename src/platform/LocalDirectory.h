#pragma once
// The local file facilities of the job: listing the files that match a wildcard path, deleting
// a file, and appending to one. Failures throw SystemError.

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

// Appends `bytes` to the file at `path` (created when missing) in one write, so that what two
// processes append to one file never interleaves, and closes it. Throws "<what>: <cause>".
void appendToFile(const std::string& path, const std::string& bytes, const std::string& what);

}  // namespace skyhaul::platform
