#include <utility>

#include "platform/inet/ftp/FtpConnection.h"
#include "platform/inet/ftp/RemoteFile.h"
#include "platform/inet/Report.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

FtpFile::FtpFile(std::unique_ptr<RemoteFile> file) : file_(std::move(file)) {}

// Not a call that reports: the thread's last error stays as the caller last saw it.
FtpFile::~FtpFile() {
  if (file_) (void)file_->close();
}

// A transfer writes and reads 255 bytes at a time: a success leaves the thread's state alone.
bool FtpFile::write(const void* data, std::size_t size) {
  const Status written = file_->write(data, size);
  return written ? true : report(written, file_->connection());
}

bool FtpFile::writeFromFile(int fd, std::int64_t offset, std::size_t size) {
  const Status written = file_->writeFromFile(fd, offset, size);
  return written ? true : report(written, file_->connection());
}

void FtpFile::endData() { file_->endData(); }

bool FtpFile::read(void* data, std::size_t size, std::size_t& bytesRead) {
  const Status read = file_->read(data, size, bytesRead);
  return read ? true : report(read, file_->connection());
}

bool FtpFile::readSome(void* data, std::size_t size, std::size_t& bytesRead) {
  const Status read = file_->readSome(data, size, bytesRead);
  return read ? true : report(read, file_->connection());
}

bool FtpFile::close() { return report(file_->close(), file_->connection()); }

}  // namespace skyhaul::inet
