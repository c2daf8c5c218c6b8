#include "platform/FtpConnectionImpl.h"

#include <algorithm>
#include <utility>

#include "platform/InternetLastError.h"

namespace skyhaul::platform {
namespace {

// QUIT is a courtesy: a server that does not answer it quickly is not waited for.
constexpr std::chrono::milliseconds kQuitWait{2000};
// A server may send a few "120 ready in n minutes" before its greeting.
constexpr int kMaxPreliminaryGreetings = 5;

}  // namespace

FtpConnection::Impl::Impl(FtpControl control, bool passive)
    : control_(std::move(control)), passive_(passive) {}

bool FtpConnection::Impl::checkReady() {
  if (busy_) return fail(kErrorFtpTransferInProgress);
  if (!control_.isAlive()) return fail(kErrorInternetConnectionAborted);
  return true;
}

bool FtpConnection::Impl::simpleCommand(const std::string& line, int expected, FtpReply* reply) {
  FtpReply answer;
  if (!control_.command(line, answer)) return false;
  const bool accepted = answer.code / 100 == expected;
  if (reply != nullptr) *reply = std::move(answer);
  return accepted || fail(kErrorInternetExtendedError);
}

bool FtpConnection::Impl::login(const std::string& user, const std::string& password) {
  FtpReply reply;
  for (int i = 0; i <= kMaxPreliminaryGreetings; ++i) {
    if (!control_.readReply(reply)) return false;
    if (!reply.isPreliminary()) break;
  }
  if (!reply.isCompletion()) return fail(kErrorInternetExtendedError);
  if (!control_.command("USER " + user, reply)) return false;
  if (reply.isIntermediate() && !control_.command("PASS " + password, reply)) return false;
  if (!reply.isCompletion()) return fail(kErrorInternetExtendedError);

  // Without FEAT (an old server answers 500) the plain commands are used.
  if (!control_.command("FEAT", reply)) return false;
  if (reply.isCompletion()) features_ = parseFeatReply(reply.text);
  // Names are bytes either way; the answer does not matter.
  if (features_.utf8 && !control_.command("OPTS UTF8 ON", reply)) return false;
  return true;
}

bool FtpConnection::Impl::setType(TransferType type) {
  const char letter = type == TransferType::Ascii ? 'A' : 'I';
  if (typeSent_ == letter) return true;
  if (!simpleCommand(std::string("TYPE ") + letter, 2)) return false;
  typeSent_ = letter;
  return true;
}

void FtpConnection::Impl::quit() {
  if (control_.isAlive() && !busy_) {
    // Closing is not a call that reports: the thread's error state stays as it was.
    const int error = lastError();
    const std::string response = lastResponseInfo();
    FtpReply reply;
    if (control_.send("QUIT")) {
      control_.readReply(reply, std::min(control_.timeouts().reply, kQuitWait));
    }
    setLastError(error);
    setLastResponseInfo(response);
  }
  control_.drop();
}

}  // namespace skyhaul::platform
