#include "platform/inet/ftp/Connection.h"

#include <algorithm>
#include <utility>

namespace skyhaul::inet::detail {
namespace {

// QUIT is a courtesy: a server that does not answer it quickly is not waited for.
constexpr std::chrono::milliseconds kQuitWait{2000};
// A server may send a few "120 ready in n minutes" before its greeting.
constexpr int kMaxPreliminaryGreetings = 5;

}  // namespace

Connection::Connection(Control control, bool passive, Security security,
                       std::unique_ptr<TlsContext> tls, std::string host)
    : control_(std::move(control)),
      passive_(passive),
      security_(security),
      tls_(std::move(tls)),
      host_(std::move(host)) {}

Status Connection::secureControl() { return control_.startTls(*tls_, host_); }

Status Connection::protectData() {
  if (const Status sized = simpleCommand("PBSZ 0", 2); !sized) return sized;
  return simpleCommand("PROT P", 2);
}

Status Connection::checkReady() const {
  if (busy_) return ErrorCode::FtpTransferInProgress;
  if (!control_.isAlive()) return ErrorCode::InternetConnectionAborted;
  return {};
}

const Reply* Connection::latestMlst(const std::string& path) const {
  const bool latest = mlst_ && mlst_->sentBefore == control_.commandsSent() && mlst_->path == path;
  return latest ? &mlst_->reply : nullptr;
}

Status Connection::mlst(const std::string& path, Reply& reply) {
  if (const Reply* kept = latestMlst(path)) {
    reply = *kept;
    return {};
  }
  if (const Status sent = control_.command("MLST " + path, reply); !sent) return sent;
  mlst_ = KeptMlst{path, reply, control_.commandsSent()};
  return {};
}

Status Connection::simpleCommand(const std::string& line, int expected, Reply* reply) {
  Reply answer;
  if (const Status sent = control_.command(line, answer); !sent) return sent;
  const bool accepted = answer.code / 100 == expected;
  if (reply != nullptr) *reply = std::move(answer);
  return accepted ? Status() : ErrorCode::InternetExtendedError;
}

Status Connection::logIn(const std::string& user, const std::string& password) {
  if (security_ == Security::ImplicitTls) {
    if (const Status secured = secureControl(); !secured) return secured;
  }
  Reply reply;
  for (int i = 0; i <= kMaxPreliminaryGreetings; ++i) {
    if (const Status read = control_.readReply(reply); !read) return read;
    if (!reply.isPreliminary()) break;
  }
  if (!reply.isCompletion()) return ErrorCode::InternetExtendedError;
  if (security_ == Security::ExplicitTls) {
    if (const Status asked = simpleCommand("AUTH TLS", 2); !asked) return asked;
    if (const Status secured = secureControl(); !secured) return secured;
  }
  if (const Status sent = control_.command("USER " + user, reply); !sent) return sent;
  if (reply.isIntermediate()) {
    if (const Status sent = control_.command("PASS " + password, reply); !sent) return sent;
  }
  if (!reply.isCompletion()) return ErrorCode::InternetExtendedError;
  if (secured()) {
    if (const Status protectedData = protectData(); !protectedData) return protectedData;
  }

  // Without FEAT (an old server answers 500) the plain commands are used.
  if (const Status sent = control_.command("FEAT", reply); !sent) return sent;
  if (reply.isCompletion()) features_ = parseFeatReply(reply.text);
  // Names are bytes either way; the answer does not matter.
  if (features_.utf8) return control_.command("OPTS UTF8 ON", reply);
  return {};
}

Status Connection::setType(TransferType type) {
  const char letter = type == TransferType::Ascii ? 'A' : 'I';
  if (typeSent_ == letter) return {};
  if (const Status sent = simpleCommand(std::string("TYPE ") + letter, 2); !sent) return sent;
  typeSent_ = letter;
  return {};
}

void Connection::quit() {
  if (control_.isAlive() && !busy_) {
    Reply reply;
    if (control_.send("QUIT")) {
      (void)control_.readReply(reply, std::min(control_.timeouts().reply, kQuitWait));
    }
  }
  control_.close();
}

}  // namespace skyhaul::inet::detail
