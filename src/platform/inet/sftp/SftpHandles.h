#pragma once
// Owning handles for libssh's objects: each is freed by its own function, in the order that
// unique_ptr members are destroyed (reverse of declaration).

#include <libssh/libssh.h>

#include <memory>

namespace skyhaul::inet::detail {

struct SshSessionDeleter {
  void operator()(ssh_session session) const {
    ssh_disconnect(session);
    ssh_free(session);
  }
};
struct SshKeyDeleter {
  void operator()(ssh_key key) const { ssh_key_free(key); }
};
struct SshChannelDeleter {
  void operator()(ssh_channel channel) const { ssh_channel_free(channel); }
};
struct SshCharDeleter {
  void operator()(char* text) const { ssh_string_free_char(text); }
};

using SshSessionHandle = std::unique_ptr<ssh_session_struct, SshSessionDeleter>;
using SshKeyHandle = std::unique_ptr<ssh_key_struct, SshKeyDeleter>;
using SshChannelHandle = std::unique_ptr<ssh_channel_struct, SshChannelDeleter>;
using SshText = std::unique_ptr<char, SshCharDeleter>;

}  // namespace skyhaul::inet::detail
