#include "platform/InternetLastError.h"

#include <utility>

#include "platform/InternetLibrary.h"

namespace skyhaul::platform {
namespace {

thread_local int tLastError = kErrorSuccess;
thread_local std::string tLastResponse;

}  // namespace

int lastError() { return tLastError; }

void setLastError(int code) { tLastError = code; }

std::string lastResponseInfo() { return tLastResponse; }

void setLastResponseInfo(std::string text) { tLastResponse = std::move(text); }

bool fail(int code) {
  setLastError(code);
  return false;
}

}  // namespace skyhaul::platform
