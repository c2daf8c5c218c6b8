#pragma once
// The local file facilities of the job: listing the files that match a wildcard path, deleting
// a file, and appending to one. Failures throw SystemError.

#include <string>
#include <vector>

#include "platform/LocalSource.h"

namespace skyhaul::platform {

// The bare names of the regular files that match `pathWithMask` (a directory prefix, then a
// name or a mask with * and ?, matched by the same rules as remote listings: every other
// character, "[" and "\\" included, matches only itself), sorted by name in byte order.
// Directories and hidden files (names starting with ".") are left out. An empty directory
// part means the current directory. A directory that cannot be read throws.
std::vector<std::string> listMatchingFiles(const std::string& pathWithMask);

// Deletes a local file; throws when it cannot be deleted (already gone, no permission, ...).
void deleteLocalFile(const std::string& path);

// Deletes the source of a transfer only when `path` still names the very file that was sent,
// as `sent` describes it (the same file, size and modification time), looked at right before
// the name is removed: a newer version renamed into its place meanwhile stays. A link of the
// user's own that leads to that file is removed as a name, as deleting it always did. Throws
// when the name cannot be removed.
enum class SourceDeletion { Deleted, Replaced, Gone };
SourceDeletion deleteSentFile(const std::string& path, const LocalSource::Version& sent);

// Appends `bytes` to the file at `path` (created when missing) in one write, so that what two
// processes append to one file never interleaves, and closes it. Throws "<what>: <cause>".
void appendToFile(const std::string& path, const std::string& bytes, const std::string& what);

}  // namespace skyhaul::platform
