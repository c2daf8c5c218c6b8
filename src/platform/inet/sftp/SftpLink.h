#pragma once
// One logged-in SSH session and its SFTP channel, shared by the session handle and the files
// opened on it, so that a file never outlives what it talks to.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/inet/RemoteSession.h"
#include "platform/inet/Report.h"
#include "platform/inet/Status.h"
#include "platform/inet/sftp/SftpChannel.h"
#include "platform/inet/sftp/SftpHandles.h"
#include "platform/inet/sftp/SftpWatchdog.h"
#include "platform/inet/transport/Socket.h"

namespace skyhaul::inet::detail {

// While it lives, one library call is bounded by the reply timeout.
class [[nodiscard]] SftpCall {
 public:
  explicit SftpCall(SftpWatchdog* watchdog) : watchdog_(watchdog) {}
  ~SftpCall() {
    if (watchdog_ != nullptr) watchdog_->disarm();
  }
  SftpCall(const SftpCall&) = delete;
  SftpCall& operator=(const SftpCall&) = delete;

 private:
  SftpWatchdog* watchdog_;
};

struct SftpLink {
  Socket socket;  // the TCP connection libssh works on; closed after libssh is done
  Timeouts timeouts;
  std::unique_ptr<SftpWatchdog> watchdog;
  SshSessionHandle ssh;
  std::unique_ptr<SftpChannel> sftp;  // closed before the SSH session it runs on
  bool posixRename = false;

  // The answer to the last STAT, for as long as no other request went out after it: a file's
  // size and then its time, or a written file's size checked twice, are one round trip.
  const SftpReply* freshStat(const std::string& path) const {
    const bool fresh = lastStat_ && lastStat_->nextId == sftp->peekId() && lastStat_->path == path;
    return fresh ? &lastStat_->reply : nullptr;
  }
  void keepStat(const std::string& path, const SftpReply& reply) {
    lastStat_ = KeptStat{path, reply, sftp->peekId()};
  }

  // Starts one libssh call (connecting, logging in), bounded by the reply timeout while the
  // result lives; notes the time, so that a failure after the whole bound reads as the timeout
  // it was.
  SftpCall begin();
  // Why the call begun last failed, from the state of the connection. `detail` receives
  // libssh's text.
  Status failure(std::string& detail) const;

 private:
  std::chrono::steady_clock::time_point started_{};
  struct KeptStat {
    std::string path;
    SftpReply reply;
    std::uint32_t nextId = 0;  // the channel's next id right after the answer
  };
  std::optional<KeptStat> lastStat_;
};

// Reports `status` as the thread's last error with `detail` as its reason; false on failure.
inline bool report(const Status& status, const std::string& detail) {
  return report(status ? status : Status(status.code(), detail));
}

}  // namespace skyhaul::inet::detail
