#pragma once
// SFTP version 3 spoken over one SSH channel (the "sftp" subsystem): requests go out with ids
// of their own, several may be in flight, and each reply is matched to its request by id.
// Every wait is bounded by the reply timeout; a reply that does not add up ends the session.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/inet/Status.h"
#include "platform/inet/sftp/SftpHandles.h"
#include "platform/inet/sftp/SftpPacket.h"
#include "platform/inet/sftp/SftpWatchdog.h"

namespace skyhaul::inet::detail {

// One reply as it came (after its length field).
struct SftpReply {
  std::string bytes;
  sftp::Type type() const { return static_cast<sftp::Type>(bytes[0]); }
  std::string_view body() const { return std::string_view(bytes).substr(5); }
};

class SftpChannel {
 public:
  SftpChannel(ssh_session ssh, std::chrono::milliseconds replyTimeout, SftpWatchdog* watchdog);
  SftpChannel(const SftpChannel&) = delete;
  SftpChannel& operator=(const SftpChannel&) = delete;

  // Opens the channel, starts the subsystem and agrees on version 3.
  Status open();
  // Whether the server announced extension `name` with `data`.
  bool offers(std::string_view name, std::string_view data) const;

  // The id for the next request.
  std::uint32_t nextId() { return nextId_++; }
  // The id the next request will get: unchanged while no request goes out.
  std::uint32_t peekId() const { return nextId_; }
  // Queues a request whose id is `id`; it goes out at the latest when a reply is awaited.
  Status send(std::uint32_t id, const std::string& packet);
  // Sends what is queued.
  Status flush();
  // Waits for the reply to request `id`, keeping those that come first for their own waits;
  // each packet within the reply timeout, and the whole wait within `limit`. A wait that runs
  // out ends the session (the stream is out of step).
  Status receive(std::uint32_t id, SftpReply& reply,
                 std::chrono::milliseconds limit = std::chrono::milliseconds::max());
  // Forgets request `id`: its reply is dropped when it comes.
  void abandon(std::uint32_t id);

  // One request and its reply.
  Status call(std::uint32_t id, const std::string& packet, SftpReply& reply);
  // One request whose reply must be a STATUS of success.
  Status callForOk(std::uint32_t id, const std::string& packet);

 private:
  struct Request {
    std::uint32_t id;
    bool wanted;
  };

  Status readPacket(SftpReply& reply, std::chrono::milliseconds limit);
  Status readExactly(char* data, std::size_t size, std::chrono::milliseconds limit);
  Status broken();
  bool takeEarly(std::uint32_t id, SftpReply& reply);
  std::vector<Request>::iterator findRequest(std::uint32_t id);

  ssh_session ssh_;
  std::chrono::milliseconds timeout_;
  SftpWatchdog* watchdog_;
  SshChannelHandle channel_;
  std::uint32_t nextId_ = 1;
  std::string outbox_;
  std::vector<Request> inFlight_;
  std::vector<SftpReply> early_;  // replies that came before they were awaited
  std::vector<std::pair<std::string, std::string>> extensions_;
  // What the channel gave that no packet took yet: bytes inbox_[inboxAt_, inboxEnd_).
  std::unique_ptr<char[]> inbox_;
  std::size_t inboxAt_ = 0;
  std::size_t inboxEnd_ = 0;
  Status lost_;  // once the stream is out of step or gone, every call fails the same way
};

// The code of an SFTP status number; SftpFailure for a number the protocol does not know.
ErrorCode codeForSftpStatus(std::uint32_t status);
// The failure a STATUS reply names (success for SSH_FX_OK); a protocol failure for a reply of
// another type.
Status statusOf(const SftpReply& reply);
// The reply when it has type `type`; else the failure its STATUS names, or a protocol failure.
Status expect(const SftpReply& reply, sftp::Type type);

}  // namespace skyhaul::inet::detail
