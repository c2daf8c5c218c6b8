#include "platform/FtpFileImpl.h"

#include <utility>

#include "platform/InternetLastError.h"

namespace skyhaul::platform {

FtpFile::Impl::Impl(std::shared_ptr<FtpConnection::Impl> connection, FtpDataStream stream,
                    FileAccess access)
    : connection_(std::move(connection)), stream_(std::move(stream)), access_(access) {}

bool FtpFile::Impl::usable(FileAccess access) {
  if (closed_ || access != access_) return fail(kErrorInvalidHandle);
  if (dataError_ != kErrorSuccess) return fail(dataError_);
  return true;
}

bool FtpFile::Impl::dataFailure(int code) {
  dataError_ = code;
  // After a stall nobody knows where the server stands: the control connection goes too.
  if (code == kErrorInternetTimeout) connection_->control().drop();
  return fail(code);
}

bool FtpFile::Impl::write(const void* data, std::size_t size) {
  if (!usable(FileAccess::Write)) return false;
  const int code = stream_.write(static_cast<const char*>(data), size);
  return code == kErrorSuccess || dataFailure(code);
}

bool FtpFile::Impl::read(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  if (!usable(FileAccess::Read)) return false;
  const int code = stream_.read(static_cast<char*>(data), size, bytesRead);
  return code == kErrorSuccess || dataFailure(code);
}

bool FtpFile::Impl::close() {
  if (closed_) return result_ || fail(closeError_);
  closed_ = true;
  if (access_ == FileAccess::Write && dataError_ == kErrorSuccess) {
    const int code = stream_.flush();
    if (code != kErrorSuccess) dataFailure(code);
  }
  // A failed upload must not look complete to the server; a download ended early makes the
  // server stop on its own when the data connection goes (see FtpDataStream::finish).
  if (access_ == FileAccess::Write && dataError_ != kErrorSuccess) {
    stream_.abort();
  } else {
    stream_.finish();
  }
  const bool confirmed = connection_->finishTransfer();
  connection_->setBusy(false);
  result_ = confirmed && dataError_ == kErrorSuccess;
  if (confirmed && !result_) setLastError(dataError_);
  closeError_ = result_ ? kErrorSuccess : lastError();
  return result_;
}

FtpFile::FtpFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FtpFile::~FtpFile() {
  if (!impl_) return;
  // Not a call that reports: the thread's error state stays as the caller last saw it.
  const int error = lastError();
  const std::string response = lastResponseInfo();
  impl_->close();
  setLastError(error);
  setLastResponseInfo(response);
}

bool FtpFile::write(const void* data, std::size_t size) {
  return impl_ ? impl_->write(data, size) : fail(kErrorInvalidHandle);
}

bool FtpFile::read(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  return impl_ ? impl_->read(data, size, bytesRead) : fail(kErrorInvalidHandle);
}

bool FtpFile::close() { return impl_ ? impl_->close() : fail(kErrorInvalidHandle); }

}  // namespace skyhaul::platform
