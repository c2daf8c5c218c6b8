#pragma once
// The control connection of an FTP session: commands out, replies in, every wait bounded.
// It dies (and stays dead) when the server sends 421, when a wait times out or when the
// connection breaks; after that every call fails at once with InternetConnectionAborted.

#include <chrono>
#include <string>

#include "platform/inet/Status.h"
#include "platform/inet/Types.h"
#include "platform/inet/ftp/Reply.h"
#include "platform/inet/transport/Channel.h"
#include "platform/inet/transport/Socket.h"
#include "platform/inet/transport/Tls.h"

namespace skyhaul::inet::detail {

class Control {
 public:
  Control(Socket socket, const Timeouts& timeouts);

  bool isAlive() const { return channel_.isOpen(); }
  bool secured() const { return channel_.secured(); }
  const Timeouts& timeouts() const { return timeouts_; }
  const SocketAddress& peer() const { return peer_; }
  const SocketAddress& local() const { return local_; }
  // The last reply read: its code (0 before the first) and all its lines ("" before).
  const Reply& lastReply() const { return lastReply_; }
  // How many command lines went out: a fact learnt from a reply holds only while this stays.
  std::uint64_t commandsSent() const { return commandsSent_; }

  // Sends one command line (CR LF is added). A line holding CR or LF is refused
  // (InvalidParameter) and never sent.
  Status send(const std::string& command);
  // Reads the next complete reply, all of it within `timeout`, however slowly it trickles.
  // Fails when the connection fails or times out, and with InternetExtendedError for a 421
  // reply; the connection is dead after either.
  Status readReply(Reply& reply, std::chrono::milliseconds timeout);
  Status readReply(Reply& reply) { return readReply(reply, timeouts_.reply); }
  // send() and then readReply().
  Status command(const std::string& line, Reply& reply);
  // Puts TLS under the connection from here on; a failure kills it.
  Status startTls(TlsContext& context, const std::string& host);
  // Ends the connection in order (TLS close_notify, not waiting for the server's); dead after.
  void close() { channel_.finish(std::chrono::milliseconds(0)); }
  // Closes the connection without a word; it is dead from now on.
  void drop() { channel_.close(); }

 private:
  Status dropWith(Status failure);

  Channel channel_;
  Timeouts timeouts_;
  SocketAddress peer_;
  SocketAddress local_;
  std::string pending_;  // received bytes not yet taken as lines
  ReplyAssembler assembler_;
  Reply lastReply_;
  std::uint64_t commandsSent_ = 0;
};

}  // namespace skyhaul::inet::detail
