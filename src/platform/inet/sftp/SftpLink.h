#pragma once
// One logged-in SSH session and its SFTP channel, shared by the session handle and the files
// opened on it, so that a file never outlives what it talks to.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/inet/RemoteSession.h"
#include "platform/inet/Status.h"
#include "platform/inet/sftp/SftpChannel.h"
#include "platform/inet/sftp/SftpHandles.h"
#include "platform/inet/sftp/SftpWatchdog.h"
#include "platform/inet/transport/Deadline.h"
#include "platform/inet/transport/Socket.h"

namespace skyhaul::inet::detail {

struct SftpLink {
  Socket socket;  // the TCP connection libssh works on; closed after libssh is done
  Timeouts timeouts;
  std::unique_ptr<SftpWatchdog> watchdog;
  SshSessionHandle ssh;
  std::unique_ptr<SftpChannel> sftp;  // closed before the SSH session it runs on
  bool posixRename = false;

  // The answer to the last STAT, for as long as no other request went out after it and only
  // briefly: a file's size and then its time, or a written file's size checked twice, are one
  // round trip, while a look taken later (before a delete) asks the server again.
  const SftpReply* freshStat(const std::string& path) const {
    const bool fresh = lastStat_ && lastStat_->nextId == sftp->peekId() &&
                       !lastStat_->freshFor.passed() && lastStat_->path == path;
    return fresh ? &lastStat_->reply : nullptr;
  }
  void keepStat(const std::string& path, const SftpReply& reply) {
    lastStat_ = KeptStat{path, reply, sftp->peekId(), Deadline(kStatFreshFor)};
  }

  // Starts one libssh call (connecting, logging in), bounded by the reply timeout while the
  // result lives; notes the bound, so that a failure after it reads as the timeout it was.
  BoundedCall begin();
  // Why the call begun last failed, from the state of the connection. `detail` receives
  // libssh's text.
  Status failure(std::string& detail) const;

 private:
  Deadline call_{std::chrono::milliseconds(0)};  // the bound of the call begun last
  struct KeptStat {
    std::string path;
    SftpReply reply;
    std::uint32_t nextId = 0;  // the channel's next id right after the answer
    Deadline freshFor;
  };
  static constexpr std::chrono::milliseconds kStatFreshFor{500};
  std::optional<KeptStat> lastStat_;
};

}  // namespace skyhaul::inet::detail
