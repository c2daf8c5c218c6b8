// Data connections of an FTP connection: passive (EPSV for IPv6, PASV for IPv4) or active
// (EPRT for IPv6, PORT for IPv4), and the start and end of a transfer over one.

#include <netinet/in.h>

#include <utility>

#include "platform/FtpConnectionImpl.h"
#include "platform/InternetLastError.h"

namespace skyhaul::platform {
namespace {

constexpr int kPassiveReply = 227;
constexpr int kExtendedPassiveReply = 229;

std::string portCommand(const SocketAddress& address) {
  if (address.family() == AF_INET6) {
    return "EPRT |2|" + address.numericHost() + "|" + std::to_string(address.port()) + "|";
  }
  std::string host = address.numericHost();
  for (auto& c : host) c = c == '.' ? ',' : c;
  return "PORT " + host + "," + std::to_string(address.port() / 256) + "," +
         std::to_string(address.port() % 256);
}

}  // namespace

bool FtpConnection::Impl::openPassive(Socket& data) {
  SocketAddress target = control_.peer();
  FtpReply reply;
  if (target.family() == AF_INET6) {
    if (!simpleCommand("EPSV", 2, &reply)) return false;
    const auto port = parseEpsvReply(reply.text);
    if (reply.code != kExtendedPassiveReply || !port) return fail(kErrorFtpNoPassiveMode);
    target.setPort(*port);
  } else {
    if (!simpleCommand("PASV", 2, &reply)) return false;
    const auto endpoint = parsePasvReply(reply.text);
    if (reply.code != kPassiveReply || !endpoint) return fail(kErrorFtpNoPassiveMode);
    // Only the port is taken: the address a server names may be an inner one behind NAT, or
    // a third host a hostile server wants our upload sent to. The peer is known to be it.
    target.setPort(endpoint->port);
  }
  const int code = connectSocket(target, control_.timeouts().connect, true, data);
  return code == kErrorSuccess || fail(code);
}

bool FtpConnection::Impl::openActive(Socket& listening) {
  const int code = listenSocket(control_.local(), listening);
  if (code != kErrorSuccess) return fail(code);
  SocketAddress bound;
  if (!localAddress(listening, bound)) return fail(kErrorInternetInternalError);
  return simpleCommand(portCommand(bound), 2);
}

bool FtpConnection::Impl::startTransfer(const std::string& command,
                                        std::optional<FtpDataStream>& stream) {
  Socket data;
  Socket listening;
  if (passive_ ? !openPassive(data) : !openActive(listening)) return false;
  FtpReply reply;
  if (!control_.command(command, reply)) return false;
  if (!reply.isPreliminary() && !reply.isCompletion()) return fail(kErrorInternetExtendedError);
  // A 2xx straight away (an empty listing on some servers) is the final reply already. A file
  // transfer that is "complete" before it started moved nothing: no server can mean that.
  if (reply.isCompletion() && (command.starts_with("RETR ") || command.starts_with("STOR "))) {
    return fail(kErrorFtpUnexpectedReply);
  }
  finalReplyPending_ = reply.isPreliminary();
  if (!passive_) {
    const int code = acceptSocket(listening, control_.peer(), control_.timeouts().data, data);
    if (code != kErrorSuccess) {
      control_.drop();  // the server's idea of the transfer is unknown now
      return fail(code);
    }
  }
  stream.emplace(std::move(data), control_.timeouts().data);
  return true;
}

bool FtpConnection::Impl::finishTransfer() {
  if (!std::exchange(finalReplyPending_, false)) return true;
  FtpReply reply;
  if (!control_.readReply(reply)) return false;
  return reply.isCompletion() || fail(kErrorInternetExtendedError);
}

}  // namespace skyhaul::platform
