#pragma once
// Owning handles for libssh's objects: each is freed by its own function, in the order that
// unique_ptr members are destroyed (reverse of declaration).

#include <libssh/libssh.h>
#include <libssh/sftp.h>

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
struct SftpSessionDeleter {
  void operator()(sftp_session sftp) const { sftp_free(sftp); }
};
struct SftpFileDeleter {
  void operator()(sftp_file file) const { sftp_close(file); }
};
struct SftpDirDeleter {
  void operator()(sftp_dir dir) const { sftp_closedir(dir); }
};
struct SftpAttributesDeleter {
  void operator()(sftp_attributes attributes) const { sftp_attributes_free(attributes); }
};
struct SshCharDeleter {
  void operator()(char* text) const { ssh_string_free_char(text); }
};

using SshSessionHandle = std::unique_ptr<ssh_session_struct, SshSessionDeleter>;
using SshKeyHandle = std::unique_ptr<ssh_key_struct, SshKeyDeleter>;
using SftpSessionHandle = std::unique_ptr<sftp_session_struct, SftpSessionDeleter>;
using SftpFileHandle = std::unique_ptr<sftp_file_struct, SftpFileDeleter>;
using SftpDirHandle = std::unique_ptr<sftp_dir_struct, SftpDirDeleter>;
using SftpAttributesHandle = std::unique_ptr<sftp_attributes_struct, SftpAttributesDeleter>;
using SshText = std::unique_ptr<char, SshCharDeleter>;

}  // namespace skyhaul::inet::detail
