#pragma once
// The one place where a call of the public interface leaves its outcome for the caller: the
// thread's last error (on failure) and the last response text.

#include "platform/inet/ftp/Connection.h"
#include "platform/inet/Status.h"

namespace skyhaul::inet::detail {

// For a call that talked to no server: true on success, else false with the last error set
// (and the status's reason as the last error's detail).
bool report(const Status& status);
// For a call on `connection`: its last reply becomes the last response text too.
bool report(const Status& status, Connection& connection);

}  // namespace skyhaul::inet::detail
