#pragma once
// What a step inside the library came to: success, or the code of its failure. Steps return it;
// only the public interface (InternetLibrary.h) turns it into the thread's last error.

#include "platform/ErrorCode.h"

namespace skyhaul::inet::detail {

using platform::ErrorCode;

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(ErrorCode code) : code_(code) {}  // implicit: "return ErrorCode::X;" reads best

  bool ok() const { return code_ == ErrorCode::Success; }
  explicit operator bool() const { return ok(); }
  ErrorCode code() const { return code_; }

 private:
  ErrorCode code_ = ErrorCode::Success;
};

}  // namespace skyhaul::inet::detail
