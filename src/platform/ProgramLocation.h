#pragma once
#include <string>

namespace skyhaul::platform {

// The directory that holds the running executable, symbolic links resolved, without a
// trailing "/". Throws SystemError when the system cannot tell.
std::string executableDirectory();

}  // namespace skyhaul::platform
