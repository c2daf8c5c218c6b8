#include "platform/inet/ftp/Control.h"

#include <array>
#include <utility>

#include "platform/inet/transport/Deadline.h"

namespace skyhaul::inet::detail {
namespace {

// A reply larger than this is not an FTP server talking.
constexpr std::size_t kMaxReplyBytes = 1 << 20;
constexpr int kServiceClosing = 421;
// Telnet's "interpret as command": the control connection is a Telnet stream, where a data
// byte 0xFF travels doubled (a lone one starts a command, which some servers act on).
constexpr char kIac = '\xFF';

std::string withIacDoubled(const std::string& command) {
  std::string line;
  line.reserve(command.size() + 2);
  for (const char c : command) {
    line += c;
    if (c == kIac) line += kIac;
  }
  return line;
}

void undoubleIac(std::string& line) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < line.size(); ++in, ++out) {
    line[out] = line[in];
    if (line[in] == kIac && in + 1 < line.size() && line[in + 1] == kIac) ++in;
  }
  line.resize(out);
}

}  // namespace

Control::Control(Socket socket, const Timeouts& timeouts)
    : channel_(std::move(socket)), timeouts_(timeouts) {
  peerAddress(channel_.socket(), peer_);
  localAddress(channel_.socket(), local_);
}

Status Control::startTls(TlsContext& context, const std::string& host) {
  Status secured = channel_.startTls(context, host, false, timeouts_.reply);
  return secured ? secured : dropWith(std::move(secured));
}

Status Control::dropWith(Status failure) {
  drop();
  return failure;
}

Status Control::send(const std::string& command) {
  if (command.find_first_of("\r\n") != std::string::npos) return ErrorCode::InvalidParameter;
  if (!isAlive()) return ErrorCode::InternetConnectionAborted;
  const std::string line = withIacDoubled(command) + "\r\n";
  ++commandsSent_;
  const Status sent = channel_.sendAll(line.data(), line.size(), timeouts_.reply);
  return sent ? sent : dropWith(sent);
}

Status Control::readReply(Reply& reply, std::chrono::milliseconds timeout) {
  if (!isAlive()) return ErrorCode::InternetConnectionAborted;
  const Deadline deadline(timeout);
  std::string line;
  std::size_t replyBytes = 0;
  while (true) {
    while (takeLine(pending_, line)) {
      replyBytes += line.size();
      undoubleIac(line);
      if (!assembler_.addLine(line)) continue;
      reply = assembler_.take();
      lastReply_ = reply;
      // 421 may come at any moment, in answer to anything: the server is going away.
      if (reply.code == kServiceClosing) return dropWith(ErrorCode::InternetExtendedError);
      return {};
    }
    if (replyBytes + pending_.size() > kMaxReplyBytes) {
      return dropWith(ErrorCode::InternetConnectionAborted);
    }
    if (deadline.expired()) return dropWith(ErrorCode::InternetTimeout);
    std::array<char, 4096> buffer;
    std::size_t received = 0;
    const Status got =
        channel_.receiveSome(buffer.data(), buffer.size(), deadline.remaining(), received);
    if (!got) return dropWith(got);
    if (received == 0) return dropWith(ErrorCode::InternetConnectionAborted);
    pending_.append(buffer.data(), received);
  }
}

Status Control::command(const std::string& line, Reply& reply) {
  const Status sent = send(line);
  return sent ? readReply(reply) : sent;
}

}  // namespace skyhaul::inet::detail
