#pragma once
// A remote file open for a streamed transfer: the data stream plus the connection it belongs
// to, which it keeps alive and marks busy until it is closed.

#include <memory>

#include "platform/FtpConnectionImpl.h"
#include "platform/FtpDataStream.h"
#include "platform/InternetLibrary.h"

namespace skyhaul::platform {

class FtpFile::Impl {
 public:
  Impl(std::shared_ptr<FtpConnection::Impl> connection, FtpDataStream stream, FileAccess access);

  bool write(const void* data, std::size_t size);
  bool read(void* data, std::size_t size, std::size_t& bytesRead);
  bool close();

 private:
  bool usable(FileAccess access);
  bool dataFailure(int code);

  std::shared_ptr<FtpConnection::Impl> connection_;
  FtpDataStream stream_;
  FileAccess access_;
  int dataError_ = kErrorSuccess;  // the first failure of the data connection
  bool closed_ = false;
  bool result_ = false;
  int closeError_ = kErrorSuccess;
};

}  // namespace skyhaul::platform
