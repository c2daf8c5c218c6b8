#pragma once
// One logged-in SSH session and its SFTP channel, shared by the session handle and the files
// opened on it, so that a file never outlives what it talks to.

#include <chrono>
#include <memory>
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

  // Starts one libssh call (connecting, logging in), bounded by the reply timeout while the
  // result lives; notes the bound, so that a failure after it reads as the timeout it was.
  BoundedCall begin();
  // Why the call begun last failed, from the state of the connection. `detail` receives
  // libssh's text.
  Status failure(std::string& detail) const;

 private:
  Deadline call_{std::chrono::milliseconds(0)};  // the bound of the call begun last
};

}  // namespace skyhaul::inet::detail
