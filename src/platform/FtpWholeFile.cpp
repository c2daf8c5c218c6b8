// Whole-file transfers between a local file and the server in one call (STOR, RETR).

#include <vector>

#include "platform/FtpConnectionImpl.h"
#include "platform/InternetLastError.h"
#include "platform/LocalFile.h"

namespace skyhaul::platform {
namespace {

// Ends a transfer that went wrong: the data connection is closed (reset for an upload, so the
// server does not keep a partial file as complete) and the final reply read so that the control
// connection stays in step; the failure's code stands.
bool abandonTransfer(FtpConnection::Impl& connection, FtpDataStream& stream, FileAccess access) {
  const int code = lastError();
  if (access == FileAccess::Write) {
    stream.abort();
  } else {
    stream.finish();
  }
  connection.finishTransfer();
  return fail(code);
}

// The end of a transfer whose data all went through: true only when the server confirms it.
bool completeTransfer(FtpConnection::Impl& connection, FtpDataStream& stream) {
  stream.finish();
  return connection.finishTransfer();
}

}  // namespace

bool FtpConnection::putFile(const std::string& local, const std::string& remote,
                            TransferType type) {
  if (!impl_->checkReady()) return false;
  LocalFile file;
  // Opened first, so that a missing local file leaves the server untouched.
  if (!file.openForReading(local) || !impl_->setType(type)) return false;
  std::optional<FtpDataStream> stream;
  if (!impl_->startTransfer("STOR " + remote, stream)) return false;
  std::vector<char> buffer(FtpDataStream::kBufferSize);
  while (true) {
    std::size_t got = 0;
    if (!file.read(buffer.data(), buffer.size(), got))
      return abandonTransfer(*impl_, *stream, FileAccess::Write);
    if (got == 0) break;
    const int code = stream->write(buffer.data(), got);
    if (code != kErrorSuccess) {
      fail(code);
      return abandonTransfer(*impl_, *stream, FileAccess::Write);
    }
  }
  const int code = stream->flush();
  if (code != kErrorSuccess) {
    fail(code);
    return abandonTransfer(*impl_, *stream, FileAccess::Write);
  }
  return completeTransfer(*impl_, *stream);
}

bool FtpConnection::getFile(const std::string& remote, const std::string& local,
                            TransferType type) {
  if (!impl_->checkReady() || !impl_->setType(type)) return false;
  std::optional<FtpDataStream> stream;
  if (!impl_->startTransfer("RETR " + remote, stream)) return false;
  // Opened only once the server has the file; the old version stays until the new one is whole.
  LocalFile file;
  if (!file.openForWriting(local)) return abandonTransfer(*impl_, *stream, FileAccess::Read);
  std::vector<char> buffer(FtpDataStream::kBufferSize);
  while (true) {
    std::size_t got = 0;
    const int code = stream->read(buffer.data(), buffer.size(), got);
    if (code != kErrorSuccess) {
      fail(code);
      return abandonTransfer(*impl_, *stream, FileAccess::Read);
    }
    if (got == 0) break;
    if (!file.write(buffer.data(), got)) return abandonTransfer(*impl_, *stream, FileAccess::Read);
  }
  // The new version takes the old one's place only once the server confirms it is whole.
  if (!completeTransfer(*impl_, *stream)) return false;
  return file.close();
}

}  // namespace skyhaul::platform
