#include "platform/ProgramLocation.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/SystemError.h"

namespace skyhaul::platform {

std::string executableDirectory() {
  std::error_code error;
  const auto executable = std::filesystem::canonical("/proc/self/exe", error);
  if (error) throwSystemError("Mape programa ni mogoče ugotoviti", error.value());
  return executable.parent_path().string();
}

}  // namespace skyhaul::platform
