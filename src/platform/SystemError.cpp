#include "platform/SystemError.h"

#include <cstring>

namespace skyhaul::platform {

void throwSystemError(const std::string& what, int errorNumber) {
  throw SystemError(what + ": " + std::strerror(errorNumber));
}

}  // namespace skyhaul::platform
