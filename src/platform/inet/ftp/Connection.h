#pragma once
// One logged-in FTP connection: the control connection, what the server said it can do, the
// transfer type last sent, and whether a transfer is under way. Shared by the public
// connection handle and the file handles opened on it, so a file never outlives what it talks
// to.

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/inet/Status.h"
#include "platform/inet/Types.h"
#include "platform/inet/ftp/Control.h"
#include "platform/inet/ftp/ReplyParsers.h"
#include "platform/inet/transport/ServerAddress.h"
#include "platform/inet/transport/Tls.h"

namespace skyhaul::inet::detail {

class Connection {
 public:
  // `tls` (null for plain FTP) checks certificates for `host` and holds the session that data
  // connections resume.
  Connection(Control control, bool passive, Security security = Security::Plain,
             std::unique_ptr<TlsContext> tls = nullptr, std::string host = {});

  Control& control() { return control_; }
  const Control& control() const { return control_; }
  // A failure with the server's last reply, which explains it; a success as it is, with no copy
  // (a transfer reads and writes 255 bytes at a time).
  Status answered(Status status) const {
    if (status) return status;
    return std::move(status).withServerText(control_.lastReply().text);
  }
  bool passive() const { return passive_; }
  const Features& features() const { return features_; }
  // 'A' or 'I' once TYPE was sent, else 0.
  char typeSent() const { return typeSent_; }
  // Whether the connection and its data connections are under TLS (then tls() is set).
  bool secured() const { return tls_ != nullptr; }
  TlsContext* tls() const { return tls_.get(); }
  const std::string& host() const { return host_; }

  // A remote file is open: every other operation waits (FtpTransferInProgress).
  void setBusy(bool busy) { busy_ = busy; }
  // Whether the transfer started last still owes its final reply.
  bool finalReplyPending() const { return finalReplyPending_; }
  void setFinalReplyPending(bool pending) { finalReplyPending_ = pending; }
  // The algorithm HASH computes on this connection: the last OPTS HASH accepted, else the one
  // FEAT starred.
  std::optional<platform::DigestAlgorithm> hashSelected() const {
    return hashSelected_ ? hashSelected_ : features_.hashSelected;
  }
  void setHashSelected(platform::DigestAlgorithm algorithm) { hashSelected_ = algorithm; }

  // Whether the server's current folder is the root because a CWD / of this session said so,
  // and no other change of folder was asked for since.
  bool inRoot() const { return inRoot_; }
  void setInRoot(bool inRoot) { inRoot_ = inRoot; }
  // MLST `path`, or its reply again when that was the very last reply of the session: a second
  // question about the same entry with nothing in between (its size, then its time) costs no
  // round trip, and both facts come from one moment.
  Status mlst(const std::string& path, Reply& reply);

  // FtpTransferInProgress while a remote file is open, InternetConnectionAborted once dead.
  Status checkReady() const;
  // Reads the greeting, logs in (USER, PASS) and learns the features (FEAT, OPTS UTF8 ON).
  // Under TLS: implicit TLS starts before the greeting; explicit TLS is AUTH TLS right after
  // it, before USER; then PBSZ 0 and PROT P, so that every data connection is protected too.
  // A refusal, of the login or of any of those, is InternetExtendedError, the server's reply
  // being the control's last reply: there is no falling back to clear text.
  Status logIn(const std::string& user, const std::string& password);
  // Sends `line` and expects a reply of the class `expected` (2 or 3); another reply is
  // InternetExtendedError. `reply` (optional) receives the reply.
  Status simpleCommand(const std::string& line, int expected, Reply* reply = nullptr);
  // Sends TYPE A or TYPE I, unless the same was the last one sent.
  Status setType(TransferType type);
  // Says goodbye (QUIT, briefly waiting for the answer) unless a file is open, and closes.
  void quit();

 private:
  Status secureControl();
  const Reply* latestMlst(const std::string& path) const;
  Status protectData();

  Control control_;
  bool passive_;
  Security security_;
  std::unique_ptr<TlsContext> tls_;
  std::string host_;
  bool busy_ = false;
  char typeSent_ = 0;
  bool finalReplyPending_ = false;
  Features features_;
  std::optional<platform::DigestAlgorithm> hashSelected_;
  bool inRoot_ = false;
  struct KeptMlst {
    std::string path;
    Reply reply;
    std::uint64_t sentBefore = 0;  // commands sent when the reply came
  };
  std::optional<KeptMlst> mlst_;
};

}  // namespace skyhaul::inet::detail
