#pragma once
// What a step inside the library came to: success, or the code of its failure with its reason in
// words of its own where it has them (a refused certificate: OpenSSL's verify error). Steps return
// it; only the public interface (RemoteSession.h) turns it into the thread's last error.

#include <string>
#include <utility>

#include "platform/ErrorCode.h"

namespace skyhaul::inet::detail {

using platform::ErrorCode;

class [[nodiscard]] Status {
 public:
  Status() = default;
  // Implicit: "return ErrorCode::X;" reads best.
  Status(ErrorCode code, std::string reason = {}) : code_(code), reason_(std::move(reason)) {}

  bool ok() const { return code_ == ErrorCode::Success; }
  explicit operator bool() const { return ok(); }
  ErrorCode code() const { return code_; }
  // Why it failed, or "" when the code says all there is.
  const std::string& reason() const { return reason_; }

 private:
  ErrorCode code_ = ErrorCode::Success;
  std::string reason_;  // empty, and so free, on the way of success
};

}  // namespace skyhaul::inet::detail
