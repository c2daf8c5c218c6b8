// What every remote stream and session can do with the calls they already have.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/ErrorCode.h"
#include "platform/inet/RemoteSession.h"

namespace skyhaul::inet {

// The bytes pass through a buffer of the program's, in blocks of its size.
Status RemoteStream::writeFromFile(int fd, std::int64_t offset, std::size_t size) {
  constexpr std::size_t kBlock = 128 * 1024;
  std::vector<char> block(std::min(size, kBlock));
  while (size > 0) {
    const ssize_t got = ::pread(fd, block.data(), std::min(size, block.size()), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      return got == 0 ? ErrorCode::ReadFault : platform::codeFromErrno(errno);
    }
    if (Status written = write(block.data(), static_cast<std::size_t>(got)); !written) {
      return written;
    }
    offset += got;
    size -= static_cast<std::size_t>(got);
  }
  return {};
}

Status RemoteSession::findFile(const std::string& remote, FindData& entry) {
  std::optional<std::int64_t> size;
  if (Status sized = reportStoredSize(remote, size); !sized) return sized;
  if (!size) return ErrorCode::StoredSizeUnknown;
  entry = FindData{.fileName = bareName(remote), .fileSize = *size};
  return {};
}

}  // namespace skyhaul::inet
