#pragma once
// What a call of the library came to: success, or the code of its failure with its reason in
// words of its own where it has them (a refused certificate: OpenSSL's verify error), and the
// server's reply where the server explained the failure itself. Every call returns one, the
// library's inner steps as much as the seam (RemoteSession.h); nothing is left behind in the
// thread for the caller to read afterwards.

#include <ostream>
#include <string>
#include <utility>

#include "platform/ErrorCode.h"

namespace skyhaul::inet {

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
  // The server's last reply on the connection that failed (all its lines, each ending in CR
  // LF), or "" where no server spoke; InternetExtendedError means the reply says it all.
  const std::string& serverText() const { return serverText_; }

  // This failure with `text` as the server's reply; a success stays as it is.
  Status withServerText(std::string text) && {
    if (!ok()) serverText_ = std::move(text);
    return std::move(*this);
  }

 private:
  ErrorCode code_ = ErrorCode::Success;
  std::string reason_;      // empty, and so free, on the way of success
  std::string serverText_;  // likewise
};

// For messages in logs and tests: the code's number, then its reason and the server's reply.
inline std::ostream& operator<<(std::ostream& out, const Status& status) {
  out << status.code();
  if (!status.reason().empty()) out << " (" << status.reason() << ")";
  if (!status.serverText().empty()) out << " " << status.serverText();
  return out;
}

namespace detail {
using inet::Status;
}  // namespace detail

}  // namespace skyhaul::inet
