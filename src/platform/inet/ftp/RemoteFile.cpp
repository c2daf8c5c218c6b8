#include "platform/inet/ftp/RemoteFile.h"

#include <utility>

#include "platform/inet/ftp/DataConnection.h"

namespace skyhaul::inet::detail {

RemoteFile::RemoteFile(std::shared_ptr<Connection> connection, DataStream stream, FileAccess access)
    : connection_(std::move(connection)), stream_(std::move(stream)), access_(access) {}

Status RemoteFile::usable(FileAccess access) const {
  if (closed_ || access != access_) return ErrorCode::InvalidHandle;
  return dataError_;
}

Status RemoteFile::dataFailure(Status failure) {
  dataError_ = failure;
  // After a stall nobody knows where the server stands: the control connection goes too.
  if (failure.code() == ErrorCode::InternetTimeout) connection_->control().drop();
  return failure;
}

Status RemoteFile::write(const void* data, std::size_t size) {
  if (const Status ready = usable(FileAccess::Write); !ready) return ready;
  const Status written = stream_.write(static_cast<const char*>(data), size);
  return written ? written : dataFailure(written);
}

Status RemoteFile::writeFromFile(int fd, std::int64_t offset, std::size_t size) {
  if (const Status ready = usable(FileAccess::Write); !ready) return ready;
  const Status written = stream_.writeFromFile(fd, offset, size);
  return written ? written : dataFailure(written);
}

Status RemoteFile::read(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  if (const Status ready = usable(FileAccess::Read); !ready) return ready;
  const Status read = stream_.read(static_cast<char*>(data), size, bytesRead);
  return read ? read : dataFailure(read);
}

Status RemoteFile::readSome(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  if (const Status ready = usable(FileAccess::Read); !ready) return ready;
  const Status read = stream_.readSome(static_cast<char*>(data), size, bytesRead);
  return read ? read : dataFailure(read);
}

void RemoteFile::endData() {
  if (closed_ || dataEnded_ || access_ != FileAccess::Write || !dataError_) return;
  if (const Status flushed = stream_.flush(); !flushed) {
    (void)dataFailure(flushed);
    return;
  }
  stream_.finish();
  dataEnded_ = true;
}

Status RemoteFile::close() {
  if (closed_) return closeOutcome_;
  closed_ = true;
  if (dataEnded_) return closeAfterEnd();
  const bool uploading = access_ == FileAccess::Write;
  if (uploading && dataError_ && !abandoned_) {
    if (const Status flushed = stream_.flush(); !flushed) (void)dataFailure(flushed);
  }
  // A failed upload must not look complete to the server; a download ended early makes the
  // server stop on its own when the data connection goes (see DataStream::finish).
  if (uploading && (!dataError_ || abandoned_)) {
    stream_.abort();
  } else {
    stream_.finish();
  }
  return closeAfterEnd();
}

void RemoteFile::abandon() {
  abandoned_ = !closed_;
  static_cast<void>(close());
}

Status RemoteFile::closeAfterEnd() {
  const Status confirmed = finishTransfer(*connection_);
  connection_->setBusy(false);
  closeOutcome_ = confirmed ? dataError_ : confirmed;
  return closeOutcome_;
}

}  // namespace skyhaul::inet::detail
