#pragma once
// A remote file open for a streamed transfer: the data stream plus the connection it belongs
// to, which it keeps alive and marks busy until it is closed.

#include <memory>

#include "platform/inet/Status.h"
#include "platform/inet/Types.h"
#include "platform/inet/ftp/Connection.h"
#include "platform/inet/ftp/DataStream.h"

namespace skyhaul::inet::detail {

class RemoteFile {
 public:
  RemoteFile(std::shared_ptr<Connection> connection, DataStream stream, FileAccess access);

  Connection& connection() { return *connection_; }

  Status write(const void* data, std::size_t size);
  Status writeFromFile(int fd, std::int64_t offset, std::size_t size);
  Status read(void* data, std::size_t size, std::size_t& bytesRead);
  Status readSome(void* data, std::size_t size, std::size_t& bytesRead);
  // Upload: flushes and ends the data connection in order; close() then only reads the final
  // reply. A failure is kept for close().
  void endData();
  // Ends the transfer: flushes, closes the data connection and reads the final reply. A failed
  // upload is reset, so the server never takes it as complete. Closing twice gives the first
  // outcome again.
  Status close();
  // Ends a transfer given up on this side like close(); an upload is reset even where its data
  // went well, so that the server never takes it for the whole file.
  void abandon();

 private:
  Status usable(FileAccess access) const;
  Status dataFailure(Status failure);
  Status closeAfterEnd();

  std::shared_ptr<Connection> connection_;
  DataStream stream_;
  FileAccess access_;
  Status dataError_;  // the first failure of the data connection
  bool closed_ = false;
  bool dataEnded_ = false;  // endData() ended the data connection
  bool abandoned_ = false;
  Status closeOutcome_;
};

}  // namespace skyhaul::inet::detail
