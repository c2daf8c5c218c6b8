#pragma once
// The private key an SFTP login names (`kljuc`), read as OpenSSH's ssh reads its own: a regular
// file that only its owner may read, holding a private key that the passphrase unlocks. Each
// way it can fail has a text of its own, naming the file and what to do.

#include <string>

#include "platform/inet/Status.h"
#include "platform/inet/sftp/SftpHandles.h"

namespace skyhaul::inet::detail {

// The key in `file`, unlocked with `passphrase` ("" for none). On failure SshKeyUnreadable
// with the reason (the file's name in it) as the status's reason.
Status loadPrivateKey(const std::string& file, const std::string& passphrase, SshKeyHandle& key);

}  // namespace skyhaul::inet::detail
