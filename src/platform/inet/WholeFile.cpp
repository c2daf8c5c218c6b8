// Whole-file transfers in one call, over the stream either protocol opens.
#include <memory>
#include <vector>

#include "platform/LocalSource.h"
#include "platform/LocalTarget.h"
#include "platform/inet/RemoteSession.h"

namespace skyhaul::inet {
namespace {

constexpr std::size_t kBlock = 256 * 1024;

// The failure stands; the transfer it broke is ended so that the server takes nothing of it for
// the whole file.
Status abandoned(RemoteStream& stream, Status failure) {
  stream.abandon();
  return failure;
}

}  // namespace

Status RemoteSession::putFile(const std::string& local, const std::string& remote,
                              TransferType type) {
  platform::LocalSource source;
  if (!source.openForReading(local)) return source.error();
  std::unique_ptr<RemoteStream> target;
  if (Status opened = openStream(remote, FileAccess::Write, type, 0, target); !opened) {
    return opened;
  }
  std::vector<char> block(kBlock);
  for (;;) {
    std::size_t got = 0;
    if (!source.read(block.data(), block.size(), got)) return abandoned(*target, source.error());
    if (got == 0) return target->close();
    if (Status sent = target->write(block.data(), got); !sent) return abandoned(*target, sent);
  }
}

Status RemoteSession::getFile(const std::string& remote, const std::string& local,
                              TransferType type) {
  std::unique_ptr<RemoteStream> source;
  if (Status opened = openStream(remote, FileAccess::Read, type, 0, source); !opened) {
    return opened;
  }
  // Opened only once the server has the file; the old version stays until the new one is whole.
  platform::LocalTarget target;
  if (!target.openForWriting(local)) return abandoned(*source, target.error());
  std::vector<char> block(kBlock);
  for (;;) {
    std::size_t got = 0;
    if (Status read = source->read(block.data(), block.size(), got); !read) {
      return abandoned(*source, read);
    }
    if (got == 0) break;
    if (!target.write(block.data(), got)) return abandoned(*source, target.error());
  }
  if (Status confirmed = source->close(); !confirmed) return confirmed;
  return target.close() ? Status() : Status(target.error());
}

}  // namespace skyhaul::inet
