#include "platform/inet/ftp/DataConnection.h"

#include <netinet/in.h>

#include <utility>

namespace skyhaul::inet::detail {
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

// The data connection always goes to the control connection's peer; of a 227 reply only the
// port is taken. The address a server names may be an inner one behind NAT, or a third host a
// hostile server wants an upload sent to.
Status openPassive(Connection& connection, Socket& data) {
  Control& control = connection.control();
  SocketAddress target = control.peer();
  Reply reply;
  if (target.family() == AF_INET6) {
    if (const Status sent = connection.simpleCommand("EPSV", 2, &reply); !sent) return sent;
    const auto port = parseEpsvReply(reply.text);
    if (reply.code != kExtendedPassiveReply || !port) return ErrorCode::FtpNoPassiveMode;
    target.setPort(*port);
  } else {
    if (const Status sent = connection.simpleCommand("PASV", 2, &reply); !sent) return sent;
    const auto endpoint = parsePasvReply(reply.text);
    if (reply.code != kPassiveReply || !endpoint) return ErrorCode::FtpNoPassiveMode;
    target.setPort(endpoint->port);
  }
  return connectSocket(target, control.timeouts().connect, true, data);
}

Status openActive(Connection& connection, Socket& listening) {
  Control& control = connection.control();
  if (const Status listened = listenSocket(control.local(), listening); !listened) {
    return listened;
  }
  SocketAddress bound;
  if (!localAddress(listening, bound)) return ErrorCode::InternetInternalError;
  return connection.simpleCommand(portCommand(bound), 2);
}

// Every data connection resumes the session the server handed out last: servers that insist
// refuse one that does not. A failed handshake still ends the transfer in step, with the
// server's final reply read.
Status secureData(Connection& connection, Channel& channel) {
  const Status secured = channel.startTls(*connection.tls(), connection.host(), true,
                                          connection.control().timeouts().data);
  if (secured) return secured;
  channel.close();
  (void)finishTransfer(connection);
  return secured;
}

bool isFileTransfer(const std::string& command) {
  return command.starts_with("RETR ") || command.starts_with("STOR ");
}

}  // namespace

Status startTransfer(Connection& connection, const std::string& command,
                     std::optional<DataStream>& stream, std::int64_t restartAt) {
  Control& control = connection.control();
  Socket data;
  Socket listening;
  const Status opened =
      connection.passive() ? openPassive(connection, data) : openActive(connection, listening);
  if (!opened) return opened;
  Reply reply;
  if (restartAt > 0) {
    const Status restarted =
        connection.simpleCommand("REST " + std::to_string(restartAt), 3, &reply);
    if (!restarted) return restarted;
  }
  if (const Status sent = control.command(command, reply); !sent) return sent;
  if (!reply.isPreliminary() && !reply.isCompletion()) return ErrorCode::InternetExtendedError;
  // A 2xx straight away (an empty listing on some servers) is the final reply already. A file
  // transfer that is "complete" before it started moved nothing: no server can mean that.
  if (reply.isCompletion() && isFileTransfer(command)) return ErrorCode::FtpUnexpectedReply;
  connection.setFinalReplyPending(reply.isPreliminary());
  if (!connection.passive()) {
    const Status accepted = acceptSocket(listening, control.peer(), control.timeouts().data, data);
    if (!accepted) {
      control.drop();  // the server's idea of the transfer is unknown now
      return accepted;
    }
  }
  Channel channel(std::move(data));
  // The server starts TLS on the data connection once it has accepted the transfer.
  if (connection.secured() && reply.isPreliminary()) {
    if (const Status secured = secureData(connection, channel); !secured) return secured;
  }
  stream.emplace(std::move(channel), control.timeouts().data);
  return {};
}

Status finishTransfer(Connection& connection) {
  if (!connection.finalReplyPending()) return {};
  connection.setFinalReplyPending(false);
  Reply reply;
  if (const Status read = connection.control().readReply(reply); !read) return read;
  return reply.isCompletion() ? Status() : ErrorCode::InternetExtendedError;
}

}  // namespace skyhaul::inet::detail
