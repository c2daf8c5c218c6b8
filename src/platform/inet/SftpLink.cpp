#include "platform/inet/SftpLink.h"

#include "platform/inet/Report.h"

namespace skyhaul::inet::detail {

ErrorCode codeForSftpStatus(int status) {
  constexpr int kBase = 12300;
  if (status < SSH_FX_EOF || status > SSH_FX_NO_MEDIA) return ErrorCode::SftpFailure;
  return static_cast<ErrorCode>(kBase + status);
}

SftpCall SftpLink::begin() {
  // libssh keeps the last status the server sent until another comes; a stale one must not
  // explain a later failure.
  if (sftp) sftp->errnum = SSH_FX_OK;
  started_ = std::chrono::steady_clock::now();
  if (watchdog) watchdog->arm(timeouts.reply);
  return SftpCall(watchdog.get());
}

// A connection that is gone explains the failure before any status: libssh marks a broken
// socket with a generic SFTP failure the server never sent.
Status SftpLink::failure(std::string& detail) const {
  detail = ssh_get_error(ssh.get());
  if (watchdog && watchdog->fired()) return ErrorCode::InternetTimeout;
  if (ssh_is_connected(ssh.get()) == 0) return ErrorCode::InternetConnectionAborted;
  const int status = sftp ? sftp_get_error(sftp.get()) : SSH_FX_OK;
  if (status != SSH_FX_OK) return codeForSftpStatus(status);
  if (std::chrono::steady_clock::now() - started_ >= timeouts.reply) {
    return ErrorCode::InternetTimeout;
  }
  return ErrorCode::SshProtocolFailure;
}

bool reportFailure(const SftpLink& link) {
  std::string detail;
  const Status status = link.failure(detail);
  return report(status, detail);
}

}  // namespace skyhaul::inet::detail
