#pragma once
// The library's side of the thread's last-error state: recording the last server reply.

#include <string>

namespace skyhaul::platform {

// Makes `text` the thread's last response text (lastResponseInfo()).
void setLastResponseInfo(std::string text);

// Sets the last-error value and returns false, for "return fail(code);".
bool fail(int code);

}  // namespace skyhaul::platform
