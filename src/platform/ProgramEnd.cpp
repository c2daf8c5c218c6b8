#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace skyhaul::platform {

void ProcessEnd::end(ExitStatus status) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(static_cast<int>(status));
}

}  // namespace skyhaul::platform
