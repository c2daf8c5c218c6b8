#include <utility>

#include "platform/inet/ftp/FtpConnection.h"
#include "platform/inet/ftp/RemoteFile.h"

namespace skyhaul::inet {

using namespace detail;  // the public calls are made of the library's inner steps

FtpFile::FtpFile(std::unique_ptr<RemoteFile> file) : file_(std::move(file)) {}

FtpFile::~FtpFile() {
  if (file_) static_cast<void>(file_->close());
}

// A transfer writes and reads 255 bytes at a time: a success costs no copy of the reply.
Status FtpFile::answered(Status status) {
  if (status) return status;
  return std::move(status).withServerText(file_->connection().control().lastReply().text);
}

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
