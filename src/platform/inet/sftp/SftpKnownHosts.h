#pragma once
// Checking an SSH server's host key against a known_hosts file (plain, hashed and [host]:port
// entries), with no trust on first use: a key the file does not hold is refused.

#include <libssh/libssh.h>

#include <string>

#include "platform/inet/Status.h"

namespace skyhaul::inet::detail {

// The running user's ~/.ssh/known_hosts (from the password database, not $HOME, which a
// scheduler may not set).
std::string defaultKnownHostsFile();

// After the key exchange of `session` (whose known_hosts option is `file`): success when the
// file holds the server's key; SshHostUnknown or SshHostKeyChanged otherwise, with `detail`
// telling the key's type and SHA256 fingerprint and how to add it once checked. A key on an
// "@revoked" line is refused (SshHostUnknown) whatever else the file says; "@cert-authority"
// lines vouch for nothing (host certificates are not checked), and the detail says so.
Status checkHostKey(ssh_session session, const std::string& host, int port, const std::string& file,
                    std::string& detail);

// The advice for a key the file does not hold (`changed`: it holds another for the host).
std::string hostKeyAdvice(bool changed, const std::string& host, int port,
                          const std::string& keyType, const std::string& fingerprint,
                          const std::string& file);

}  // namespace skyhaul::inet::detail
