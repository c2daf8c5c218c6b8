#include "platform/inet/sftp/SftpLink.h"

namespace skyhaul::inet::detail {

BoundedCall SftpLink::begin() {
  call_ = Deadline(timeouts.reply);
  return BoundedCall(watchdog.get(), timeouts.reply);
}

Status SftpLink::failure(std::string& detail) const {
  detail = ssh_get_error(ssh.get());
  if (watchdog && watchdog->fired()) return ErrorCode::InternetTimeout;
  if (ssh_is_connected(ssh.get()) == 0) return ErrorCode::InternetConnectionAborted;
  if (call_.passed()) return ErrorCode::InternetTimeout;
  return ErrorCode::SshProtocolFailure;
}

}  // namespace skyhaul::inet::detail
