#pragma once
// The control connection of an FTP session: commands out, replies in, every wait bounded.
// It dies (and stays dead) when the server sends 421, when a wait times out or when the
// connection breaks; after that every call fails at once with kErrorInternetConnectionAborted.

#include <chrono>
#include <string>

#include "platform/FtpReply.h"
#include "platform/FtpSocket.h"
#include "platform/InternetLibrary.h"

namespace skyhaul::platform {

class FtpControl {
 public:
  FtpControl(Socket socket, const Timeouts& timeouts);

  bool isAlive() const { return socket_.isOpen(); }
  const Timeouts& timeouts() const { return timeouts_; }
  const SocketAddress& peer() const { return peer_; }
  const SocketAddress& local() const { return local_; }
  // The code of the last reply read, 0 before the first.
  int lastReplyCode() const { return lastReplyCode_; }

  // Sends one command line (CR LF is added). False with the last-error value set on failure;
  // a line holding CR or LF is refused (kErrorInvalidParameter) and never sent.
  bool send(const std::string& command);
  // Reads the next complete reply, all of it within `timeout`, and makes it the last response
  // text. False with the last-error value set when the connection fails or times out, and
  // with 12003 for a 421 reply, after which the connection is dead.
  bool readReply(FtpReply& reply, std::chrono::milliseconds timeout);
  bool readReply(FtpReply& reply) { return readReply(reply, timeouts_.reply); }
  // send() and then readReply().
  bool command(const std::string& line, FtpReply& reply);
  // Closes the connection without a word; it is dead from now on.
  void drop() { socket_.close(); }

 private:
  bool dropWith(int code);

  Socket socket_;
  Timeouts timeouts_;
  SocketAddress peer_;
  SocketAddress local_;
  std::string pending_;  // received bytes not yet taken as lines
  FtpReplyAssembler assembler_;
  int lastReplyCode_ = 0;
};

}  // namespace skyhaul::platform
