#pragma once
// The calling thread's last-error value: what the internet library's last failing call left,
// read right after the call (the classic GetLastError).

#include "platform/ErrorCode.h"

namespace skyhaul::platform {

ErrorCode lastError();
void setLastError(ErrorCode code);

}  // namespace skyhaul::platform
