#include "platform/inet/sftp/SftpChannel.h"

#include <algorithm>
#include <cstring>

#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet::detail {

using namespace sftp;
namespace {

// Requests are gathered up to this much before they go out: a whole window of small read
// requests then leaves in a few SSH packets, and write requests fill their packets.
constexpr std::size_t kOutboxLimit = 256 * 1024;
// Every read asks the channel for this much: libssh then keeps its receive window open that far
// (by itself it tops the window up to 1,280,000 bytes only once half is used), so a path of
// 50 ms or more carries several megabytes at once. It is also what the bytes waiting to be
// taken may cost in memory, here and in libssh's buffer.
constexpr std::uint32_t kReceiveWindow = 8 * 1024 * 1024;
constexpr std::uint32_t kLastStatus = 13;  // SSH_FX_NO_MEDIA, the last the protocol knows
constexpr int kStatusCodeBase = 12300;

Status protocolFailure() { return ErrorCode::SshProtocolFailure; }

std::uint32_t idOf(const SftpReply& reply) {
  const auto packet = decodePacket(reply.bytes);
  return packet ? packet->id : 0;
}

}  // namespace

ErrorCode codeForSftpStatus(std::uint32_t status) {
  if (status == kStatusOk || status > kLastStatus) return ErrorCode::SftpFailure;
  return static_cast<ErrorCode>(kStatusCodeBase + static_cast<int>(status));
}

Status statusOf(const SftpReply& reply) {
  if (reply.type() != Type::Status) return protocolFailure();
  const auto status = decodeStatus(reply.body());
  if (!status) return protocolFailure();
  if (status->code == kStatusOk) return {};
  return Status(codeForSftpStatus(status->code), std::string(status->message));
}

Status expect(const SftpReply& reply, Type type) {
  if (reply.type() == type) return {};
  if (reply.type() != Type::Status) return protocolFailure();
  const Status status = statusOf(reply);
  return status ? protocolFailure() : status;  // "success" is no answer to this request
}

SftpChannel::SftpChannel(ssh_session ssh, std::chrono::milliseconds replyTimeout,
                         SftpWatchdog* watchdog)
    : ssh_(ssh), timeout_(replyTimeout), watchdog_(watchdog) {}

Status SftpChannel::open() {
  channel_.reset(ssh_channel_new(ssh_));
  if (!channel_) return broken();
  {
    const BoundedCall bounded(watchdog_, timeout_);
    if (ssh_channel_open_session(channel_.get()) != SSH_OK ||
        ssh_channel_request_subsystem(channel_.get(), "sftp") != SSH_OK) {
      return broken();
    }
  }
  outbox_ = initPacket();
  SftpReply reply;
  if (const Status sent = flush(); !sent) return sent;
  if (const Status read = readPacket(reply, timeout_); !read) return read;
  const auto packet = decodePacket(reply.bytes);
  const auto version = packet ? decodeVersion(*packet) : std::nullopt;
  if (!version || packet->type != Type::Version || version->version != kProtocolVersion) {
    return lost_ = protocolFailure();
  }
  extensions_ = version->extensions;
  return {};
}

bool SftpChannel::offers(std::string_view name, std::string_view data) const {
  return std::any_of(extensions_.begin(), extensions_.end(), [&](const auto& extension) {
    return extension.first == name && extension.second == data;
  });
}

Status SftpChannel::send(std::uint32_t id, const std::string& packet) {
  if (!lost_) return lost_;
  inFlight_.push_back({id, true});
  outbox_.append(packet);
  return outbox_.size() < kOutboxLimit ? Status() : flush();
}

Status SftpChannel::flush() {
  if (!lost_) return lost_;
  if (outbox_.empty()) return {};
  const BoundedCall bounded(watchdog_, timeout_);
  const int written =
      ssh_channel_write(channel_.get(), outbox_.data(), static_cast<std::uint32_t>(outbox_.size()));
  if (written != static_cast<int>(outbox_.size())) return lost_ = broken();
  outbox_.clear();
  return {};
}

Status SftpChannel::receive(std::uint32_t id, SftpReply& reply, std::chrono::milliseconds limit) {
  if (!lost_) return lost_;
  if (takeEarly(id, reply)) return {};
  if (findRequest(id) == inFlight_.end()) return protocolFailure();  // never sent
  if (const Status sent = flush(); !sent) return sent;
  // The replies that come first count against `limit` too: it bounds the whole wait.
  const Deadline deadline(limit);
  while (true) {
    const auto left = deadline.remaining();
    if (left.count() <= 0) return lost_ = Status(ErrorCode::InternetTimeout);
    if (const Status read = readPacket(reply, std::min(left, timeout_)); !read) return read;
    const std::uint32_t got = idOf(reply);
    const auto request = findRequest(got);
    if (request == inFlight_.end()) return lost_ = protocolFailure();  // nobody asked
    const bool wanted = request->wanted;
    inFlight_.erase(request);
    if (got == id) return {};
    if (wanted) early_.push_back(std::move(reply));
  }
}

void SftpChannel::abandon(std::uint32_t id) {
  const auto early = std::find_if(early_.begin(), early_.end(),
                                  [&](const SftpReply& reply) { return idOf(reply) == id; });
  if (early != early_.end()) {
    early_.erase(early);
    return;
  }
  const auto request = findRequest(id);
  if (request != inFlight_.end()) request->wanted = false;
}

Status SftpChannel::call(std::uint32_t id, const std::string& packet, SftpReply& reply) {
  if (const Status sent = send(id, packet); !sent) return sent;
  return receive(id, reply);
}

Status SftpChannel::callForOk(std::uint32_t id, const std::string& packet) {
  SftpReply reply;
  if (const Status answered = call(id, packet, reply); !answered) return answered;
  return statusOf(reply);
}

// One whole packet, within the reply timeout; a length out of bounds ends the session (what
// follows could not be found).
Status SftpChannel::readPacket(SftpReply& reply, std::chrono::milliseconds limit) {
  const BoundedCall bounded(watchdog_, limit);
  const Deadline deadline(limit);
  char header[4];
  if (const Status read = readExactly(header, sizeof header, deadline.remaining()); !read) {
    return lost_ = read;
  }
  const auto length = packetLength(std::string_view(header, sizeof header));
  if (!length) return lost_ = protocolFailure();
  reply.bytes.resize(*length);
  if (const Status read = readExactly(reply.bytes.data(), *length, deadline.remaining()); !read) {
    return lost_ = read;
  }
  return {};
}

Status SftpChannel::readExactly(char* data, std::size_t size, std::chrono::milliseconds limit) {
  const Deadline deadline(limit);
  while (size > 0) {
    if (inboxAt_ < inboxEnd_) {
      const std::size_t count = std::min(size, inboxEnd_ - inboxAt_);
      std::memcpy(data, inbox_.get() + inboxAt_, count);
      inboxAt_ += count;
      data += count;
      size -= count;
      continue;
    }
    const auto left = deadline.remaining();
    if (left.count() <= 0) return Status(ErrorCode::InternetTimeout, ssh_get_error(ssh_));
    // Untouched until bytes come: a session that moves little costs little.
    if (!inbox_) inbox_ = std::make_unique_for_overwrite<char[]>(kReceiveWindow);
    const int got = ssh_channel_read_timeout(channel_.get(), inbox_.get(), kReceiveWindow, 0,
                                             static_cast<int>(left.count()));
    if (got > 0) {
      inboxAt_ = 0;
      inboxEnd_ = static_cast<std::size_t>(got);
    } else if (got == SSH_ERROR || ssh_channel_is_eof(channel_.get()) != 0 ||
               ssh_channel_is_closed(channel_.get()) != 0) {
      return broken();
    }
  }
  return {};
}

// Why the channel cannot go on: the bound ran out, or the server or the connection is gone.
Status SftpChannel::broken() {
  const std::string detail = ssh_get_error(ssh_);
  if (watchdog_ != nullptr && watchdog_->fired()) return Status(ErrorCode::InternetTimeout, detail);
  if (ssh_is_connected(ssh_) == 0 || !channel_ || ssh_channel_is_eof(channel_.get()) != 0 ||
      ssh_channel_is_closed(channel_.get()) != 0) {
    return Status(ErrorCode::InternetConnectionAborted, detail);
  }
  return Status(ErrorCode::SshProtocolFailure, detail);
}

bool SftpChannel::takeEarly(std::uint32_t id, SftpReply& reply) {
  const auto early = std::find_if(early_.begin(), early_.end(),
                                  [&](const SftpReply& kept) { return idOf(kept) == id; });
  if (early == early_.end()) return false;
  reply = std::move(*early);
  early_.erase(early);
  return true;
}

std::vector<SftpChannel::Request>::iterator SftpChannel::findRequest(std::uint32_t id) {
  return std::find_if(inFlight_.begin(), inFlight_.end(),
                      [&](const Request& request) { return request.id == id; });
}

}  // namespace skyhaul::inet::detail
