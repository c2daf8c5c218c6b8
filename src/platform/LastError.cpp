#include "platform/LastError.h"

namespace skyhaul::platform {
namespace {

thread_local ErrorCode tLastError = ErrorCode::Success;

}  // namespace

ErrorCode lastError() { return tLastError; }

void setLastError(ErrorCode code) { tLastError = code; }

}  // namespace skyhaul::platform
