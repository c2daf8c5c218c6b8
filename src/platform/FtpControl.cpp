#include "platform/FtpControl.h"

#include <array>
#include <utility>

#include "platform/InternetLastError.h"

namespace skyhaul::platform {
namespace {

// A reply larger than this is not an FTP server talking.
constexpr std::size_t kMaxReplyBytes = 1 << 20;
constexpr int kServiceClosing = 421;

}  // namespace

FtpControl::FtpControl(Socket socket, const Timeouts& timeouts)
    : socket_(std::move(socket)), timeouts_(timeouts) {
  peerAddress(socket_, peer_);
  localAddress(socket_, local_);
}

bool FtpControl::dropWith(int code) {
  drop();
  return fail(code);
}

bool FtpControl::send(const std::string& command) {
  if (command.find_first_of("\r\n") != std::string::npos) return fail(kErrorInvalidParameter);
  if (!isAlive()) return fail(kErrorInternetConnectionAborted);
  const std::string line = command + "\r\n";
  const int code = sendAll(socket_, line.data(), line.size(), timeouts_.reply);
  return code == kErrorSuccess || dropWith(code);
}

// The whole reply must arrive within `timeout`, however slowly it trickles in.
bool FtpControl::readReply(FtpReply& reply, std::chrono::milliseconds timeout) {
  if (!isAlive()) return fail(kErrorInternetConnectionAborted);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  std::size_t replyBytes = 0;
  while (true) {
    while (takeLine(pending_, line)) {
      replyBytes += line.size();
      if (!assembler_.addLine(line)) continue;
      reply = assembler_.take();
      lastReplyCode_ = reply.code;
      setLastResponseInfo(reply.text);
      // 421 may come at any moment, in answer to anything: the server is going away.
      if (reply.code == kServiceClosing) return dropWith(kErrorInternetExtendedError);
      return true;
    }
    if (replyBytes + pending_.size() > kMaxReplyBytes) {
      return dropWith(kErrorInternetConnectionAborted);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return dropWith(kErrorInternetTimeout);
    std::array<char, 4096> buffer;
    std::size_t received = 0;
    const int code = receiveSome(socket_, buffer.data(), buffer.size(), left, received);
    if (code != kErrorSuccess) return dropWith(code);
    if (received == 0) return dropWith(kErrorInternetConnectionAborted);
    pending_.append(buffer.data(), received);
  }
}

bool FtpControl::command(const std::string& line, FtpReply& reply) {
  return send(line) && readReply(reply);
}

}  // namespace skyhaul::platform
