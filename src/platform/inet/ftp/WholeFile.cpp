#include "platform/inet/ftp/WholeFile.h"

#include <optional>
#include <vector>

#include "platform/LocalSource.h"
#include "platform/LocalTarget.h"
#include "platform/inet/ftp/DataConnection.h"

namespace skyhaul::inet::detail {
namespace {

// Ends a transfer that went wrong: the data connection is closed (reset for an upload, so the
// server does not keep a partial file as complete) and the final reply read so that the control
// connection stays in step; the failure stands.
Status abandonTransfer(Connection& connection, DataStream& stream, FileAccess access,
                       Status failure) {
  if (access == FileAccess::Write) {
    stream.abort();
  } else {
    stream.finish();
  }
  (void)finishTransfer(connection);
  return failure;
}

}  // namespace

Status putFile(Connection& connection, const std::string& local, const std::string& remote,
               TransferType type) {
  if (const Status ready = connection.checkReady(); !ready) return ready;
  platform::LocalSource file;
  if (!file.openForReading(local)) return file.error();
  if (const Status typed = connection.setType(type); !typed) return typed;
  std::optional<DataStream> stream;
  if (const Status started = startTransfer(connection, "STOR " + remote, stream); !started) {
    return started;
  }
  std::vector<char> buffer(DataStream::kBufferSize);
  while (true) {
    std::size_t got = 0;
    if (!file.read(buffer.data(), buffer.size(), got)) {
      return abandonTransfer(connection, *stream, FileAccess::Write, file.error());
    }
    if (got == 0) break;
    if (const Status sent = stream->write(buffer.data(), got); !sent) {
      return abandonTransfer(connection, *stream, FileAccess::Write, sent);
    }
  }
  if (const Status sent = stream->flush(); !sent) {
    return abandonTransfer(connection, *stream, FileAccess::Write, sent);
  }
  stream->finish();
  return finishTransfer(connection);
}

Status getFile(Connection& connection, const std::string& remote, const std::string& local,
               TransferType type) {
  if (const Status ready = connection.checkReady(); !ready) return ready;
  if (const Status typed = connection.setType(type); !typed) return typed;
  std::optional<DataStream> stream;
  if (const Status started = startTransfer(connection, "RETR " + remote, stream); !started) {
    return started;
  }
  // Opened only once the server has the file; the old version stays until the new one is whole.
  platform::LocalTarget file;
  if (!file.openForWriting(local)) {
    return abandonTransfer(connection, *stream, FileAccess::Read, file.error());
  }
  std::vector<char> buffer(DataStream::kBufferSize);
  while (true) {
    std::size_t got = 0;
    if (const Status read = stream->read(buffer.data(), buffer.size(), got); !read) {
      return abandonTransfer(connection, *stream, FileAccess::Read, read);
    }
    if (got == 0) break;
    if (!file.write(buffer.data(), got)) {
      return abandonTransfer(connection, *stream, FileAccess::Read, file.error());
    }
  }
  stream->finish();
  if (const Status confirmed = finishTransfer(connection); !confirmed) return confirmed;
  return file.close() ? Status() : file.error();
}

}  // namespace skyhaul::inet::detail
