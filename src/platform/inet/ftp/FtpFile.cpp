#include <utility>

#include "platform/inet/ftp/FtpConnection.h"
#include "platform/inet/ftp/RemoteFile.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

FtpFile::FtpFile(std::unique_ptr<RemoteFile> file) : file_(std::move(file)) {}

FtpFile::~FtpFile() {
  if (file_) static_cast<void>(file_->close());
}

Status FtpFile::answered(Status status) { return file_->connection().answered(std::move(status)); }

Status FtpFile::write(const void* data, std::size_t size) {
  return answered(file_->write(data, size));
}

Status FtpFile::writeFromFile(int fd, std::int64_t offset, std::size_t size) {
  return answered(file_->writeFromFile(fd, offset, size));
}

void FtpFile::endData() { file_->endData(); }

Status FtpFile::read(void* data, std::size_t size, std::size_t& bytesRead) {
  return answered(file_->read(data, size, bytesRead));
}

Status FtpFile::readSome(void* data, std::size_t size, std::size_t& bytesRead) {
  return answered(file_->readSome(data, size, bytesRead));
}

Status FtpFile::close() { return answered(file_->close()); }

void FtpFile::abandon() { file_->abandon(); }

}  // namespace skyhaul::inet
