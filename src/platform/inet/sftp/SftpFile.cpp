// Streamed transfers over SFTP. Reads and writes keep many requests outstanding (writes as
// OpenSSH's sftp does, reads four times as many), so the round trip is paid once per window
// rather than once per block.
#include <algorithm>
#include <cstring>

#include "platform/inet/sftp/SftpLink.h"
#include "platform/inet/sftp/SftpSession.h"

namespace skyhaul::inet {

using namespace detail;
namespace {

constexpr std::uint32_t kBlock = 32 * 1024;  // every SFTP server takes requests of this size
constexpr std::size_t kInFlight = 64;
// Reads keep a whole receive window of requests out (8 MiB: see SftpChannel); writes are held
// to the server's window, which stock sshd keeps at 2 MiB, so more of them would only wait.
constexpr std::size_t kReadsInFlight = 256;
// Writes are confirmed in batches, so that the next requests leave together.
constexpr std::size_t kConfirmBatch = 8;

std::string closePacket(std::uint32_t id, const std::string& handle) {
  return sftp::PacketWriter(sftp::Type::Close, id).string(handle).finish();
}

}  // namespace

SftpFile::SftpFile(std::shared_ptr<SftpLink> link, std::string handle, bool writing,
                   std::int64_t offset)
    : link_(std::move(link)),
      handle_(std::move(handle)),
      writing_(writing),
      offset_(offset),
      requested_(offset),
      floor_(link_->timeouts.data) {}

SftpFile::~SftpFile() { static_cast<void>(close()); }

Status SftpFile::read(void* data, std::size_t size, std::size_t& bytesRead) {
  bytesRead = 0;
  if (writing_ || closed_) return ErrorCode::InvalidHandle;
  while (readyAt_ == readyEnd_ && !(endSeen_ && pending_.empty())) {
    Status status = fillAhead();
    if (status) status = takeNext();
    if (!status) return status;
  }
  const std::size_t count = std::min(size, readyEnd_ - readyAt_);
  std::memcpy(data, ready_.data() + readyAt_, count);
  readyAt_ += count;
  offset_ += static_cast<std::int64_t>(count);
  bytesRead = count;
  return {};
}

// Sends read requests until kReadsInFlight are outstanding (none once the end was seen).
Status SftpFile::fillAhead() {
  SftpChannel& channel = *link_->sftp;
  while (!endSeen_ && pending_.size() < kReadsInFlight) {
    const std::uint32_t id = channel.nextId();
    const std::string request = sftp::PacketWriter(sftp::Type::Read, id)
                                    .string(handle_)
                                    .u64(static_cast<std::uint64_t>(requested_))
                                    .u32(kBlock)
                                    .finish();
    if (Status sent = channel.send(id, request); !sent) return sent;
    pending_.push_back({id, requested_, kBlock});
    requested_ += kBlock;
  }
  return {};
}

// Takes the answer to the oldest request as the bytes ready to be read.
Status SftpFile::takeNext() {
  if (pending_.empty()) return {};
  const Pending next = pending_.front();
  pending_.pop_front();
  SftpReply reply;
  Status status = awaitReply(next.id, reply, 0);
  std::size_t got = 0;
  readyAt_ = readyEnd_ = 0;
  if (status && reply.type() == sftp::Type::Status) {
    const auto answer = sftp::decodeStatus(reply.body());
    if (!answer || answer->code != sftp::kStatusEof) {
      status = statusOf(reply);
      if (status) status = ErrorCode::SshProtocolFailure;  // "success" is no answer to a READ
    }
  } else if (status) {
    status = expect(reply, sftp::Type::Data);
    const auto data = status ? sftp::decodeData(reply.body()) : std::nullopt;
    if (status && (!data || data->size() > kBlock)) status = ErrorCode::SshProtocolFailure;
    if (status) {
      got = data->size();
      readyAt_ = static_cast<std::size_t>(data->data() - reply.bytes.data());
      readyEnd_ = readyAt_ + got;
      ready_.swap(reply.bytes);
    }
  }
  if (!status) return status;
  if (got == kBlock) return {};
  // The end, or a server that sent less than asked: the requests after this one are for the
  // wrong bytes, so they are dropped and reading goes on right after what came.
  dropPending();
  endSeen_ = got == 0;
  requested_ = next.offset + static_cast<std::int64_t>(got);
  return {};
}

// Waits for the reply to `id` within what is left of the progress floor. What it moved counts
// against the floor: the bytes of a read's data, or `written` once a write is confirmed.
Status SftpFile::awaitReply(std::uint32_t id, SftpReply& reply, std::size_t written) {
  if (floor_.expired()) return ErrorCode::InternetTimeout;
  std::size_t moved = 0;
  return floor_.measure(moved, [&](std::chrono::milliseconds limit) {
    Status status = link_->sftp->receive(id, reply, limit);
    if (!status) return status;
    if (reply.type() == sftp::Type::Data) {
      const auto data = sftp::decodeData(reply.body());
      moved = data ? data->size() : 0;
    } else if (written > 0 && statusOf(reply)) {
      moved = written;
    }
    return status;
  });
}

// Forgets the requests in flight: their answers are dropped as they come.
void SftpFile::dropPending() {
  for (const Pending& pending : pending_) link_->sftp->abandon(pending.id);
  pending_.clear();
}

Status SftpFile::write(const void* data, std::size_t size) {
  if (!writing_ || closed_) return ErrorCode::InvalidHandle;
  if (!failure_) return failure_;
  // Small writes (the job's are 255 bytes) are gathered into blocks: one request per block.
  unsent_.append(static_cast<const char*>(data), size);
  offset_ += static_cast<std::int64_t>(size);
  std::size_t sent = 0;
  for (; unsent_.size() - sent >= kBlock; sent += kBlock) {
    if (Status status = sendBlock(std::string_view(unsent_).substr(sent, kBlock)); !status) {
      return status;
    }
  }
  unsent_.erase(0, sent);
  return {};
}

// Sends one write request without waiting for its answer, once fewer than kInFlight are
// outstanding.
Status SftpFile::sendBlock(std::string_view block) {
  if (pending_.size() >= kInFlight) {
    if (Status confirmed = confirmWrites(kInFlight - kConfirmBatch); !confirmed) return confirmed;
  }
  SftpChannel& channel = *link_->sftp;
  const std::uint32_t id = channel.nextId();
  const std::string request = sftp::PacketWriter(sftp::Type::Write, id, block.size())
                                  .string(handle_)
                                  .u64(static_cast<std::uint64_t>(requested_))
                                  .string(block)
                                  .finish();
  if (const Status sent = channel.send(id, request); !sent) return fail(sent);
  pending_.push_back({id, requested_, block.size()});
  requested_ += static_cast<std::int64_t>(block.size());
  return {};
}

// Takes the answers to the oldest writes, in order, until only `keep` are outstanding.
Status SftpFile::confirmWrites(std::size_t keep) {
  while (pending_.size() > keep) {
    const Pending oldest = pending_.front();
    pending_.pop_front();
    SftpReply reply;
    Status status = awaitReply(oldest.id, reply, oldest.size);
    if (status) status = statusOf(reply);
    if (!status) return fail(status);
  }
  return {};
}

// Keeps the first failure of a write for every later call; the writes after it are forgotten.
Status SftpFile::fail(Status status) {
  failure_ = std::move(status);
  dropPending();
  return failure_;
}

Status SftpFile::close() {
  if (closed_) return *closed_;
  if (!writing_) dropPending();
  const Status written = writing_ ? finishWriting() : Status();
  SftpChannel& channel = *link_->sftp;
  const std::uint32_t id = channel.nextId();
  const Status confirmed = channel.callForOk(id, closePacket(id, handle_));
  closed_ = written ? confirmed : failure_;  // the first failure is the one that counts
  return *closed_;
}

// Sends what was gathered and waits until every write was confirmed.
Status SftpFile::finishWriting() {
  if (!failure_) return failure_;
  if (!unsent_.empty()) {
    if (Status sent = sendBlock(unsent_); !sent) return sent;
  }
  unsent_.clear();
  return confirmWrites(0);
}

}  // namespace skyhaul::inet
