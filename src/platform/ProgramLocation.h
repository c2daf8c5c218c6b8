#pragma once
#include <string>

#include "platform/FileDescriptor.h"

namespace skyhaul::platform {

// The directory that holds the running executable, symbolic links resolved, without a
// trailing "/". Throws SystemError when the system cannot tell.
std::string executableDirectory();

// A file of the program's own that it runs as its code (the window module): opened for reading
// only when it is as an installer leaves it, a regular file, not a link, owned by root or by
// the executable's owner, in a folder owned by one of them, and neither of them writable by
// anyone else; a job's user cannot have put it there or changed it since. The checks are made
// on the opened descriptor, so what is loaded through it (/proc/self/fd/N) is what was checked.
struct InstalledFile {
  FileDescriptor file;   // open on success
  bool missing = false;  // nothing at the path (or no such folder)
  std::string problem;   // otherwise, in Slovenian, why it is not taken
};
InstalledFile openInstalledFile(const std::string& path);

}  // namespace skyhaul::platform
