// Opening an SFTP session: the TCP connection (ours, so that its failures read as FTP's do),
// the SSH handshake, the host key check, the login and the SFTP channel.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <memory>

#include "platform/Ascii.h"
#include "platform/inet/sftp/SftpKeyFile.h"
#include "platform/inet/sftp/SftpKnownHosts.h"
#include "platform/inet/sftp/SftpLink.h"
#include "platform/inet/sftp/SftpSession.h"

namespace skyhaul::inet {

using namespace detail;
namespace {

// A keyboard-interactive exchange that goes on longer is no password prompt.
constexpr int kMaxPromptRounds = 8;

// The session's options: our socket, the names known_hosts is searched for, the bounds, and
// no ~/.ssh/config (the settings alone decide what an unattended job does).
bool setOptions(ssh_session session, const SftpLogin& login, int fd, const std::string& file) {
  const long seconds = static_cast<long>(login.timeouts.reply.count() / 1000);
  const long micros = static_cast<long>(login.timeouts.reply.count() % 1000 * 1000);
  const int port = login.port;
  const int no = 0;
  const int yes = 1;
  socket_t socket = fd;
  // A request that is waited for goes out at once: Nagle's algorithm would hold it back for
  // the delayed acknowledgement of the one before (about 40 ms a round trip).
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return ssh_options_set(session, SSH_OPTIONS_HOST, login.host.c_str()) == 0 &&
         ssh_options_set(session, SSH_OPTIONS_PORT, &port) == 0 &&
         ssh_options_set(session, SSH_OPTIONS_USER, login.user.c_str()) == 0 &&
         ssh_options_set(session, SSH_OPTIONS_PROCESS_CONFIG, &no) == 0 &&
         ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, file.c_str()) == 0 &&
         ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &seconds) == 0 &&
         ssh_options_set(session, SSH_OPTIONS_TIMEOUT_USEC, &micros) == 0 &&
         ssh_options_set(session, SSH_OPTIONS_FD, &socket) == 0;
}

bool isPasswordPrompt(const char* prompt) {
  return prompt != nullptr && platform::asciiLower(prompt).find("password") != std::string::npos;
}

// Keyboard-interactive, answering one hidden password prompt per round and nothing else.
int answerPasswordPrompts(ssh_session session, const std::string& password) {
  int result = ssh_userauth_kbdint(session, nullptr, nullptr);
  for (int round = 0; result == SSH_AUTH_INFO && round < kMaxPromptRounds; ++round) {
    const int prompts = ssh_userauth_kbdint_getnprompts(session);
    if (prompts > 1) return SSH_AUTH_DENIED;
    if (prompts == 1) {
      char echo = 0;
      const char* prompt = ssh_userauth_kbdint_getprompt(session, 0, &echo);
      if (echo != 0 || !isPasswordPrompt(prompt)) return SSH_AUTH_DENIED;
      if (ssh_userauth_kbdint_setanswer(session, 0, password.c_str()) != 0) return SSH_AUTH_ERROR;
    }
    result = ssh_userauth_kbdint(session, nullptr, nullptr);
  }
  return result;
}

Status logInWithKey(ssh_session session, const SftpLogin& login, std::string& detail) {
  SshKeyHandle key;
  if (const Status loaded = loadPrivateKey(login.privateKeyFile, login.password, key); !loaded) {
    detail = loaded.reason();
    return loaded.code();
  }
  if (ssh_userauth_publickey(session, nullptr, key.get()) == SSH_AUTH_SUCCESS) return {};
  detail = ssh_get_error(session);
  return ErrorCode::SshLoginRefused;
}

Status logInWithPassword(ssh_session session, const SftpLogin& login, std::string& detail) {
  // "none" first: it tells which methods the server offers.
  if (ssh_userauth_none(session, nullptr) == SSH_AUTH_SUCCESS) return {};
  const int methods = ssh_userauth_list(session, nullptr);
  int result = SSH_AUTH_DENIED;
  if ((methods & SSH_AUTH_METHOD_PASSWORD) != 0) {
    result = ssh_userauth_password(session, nullptr, login.password.c_str());
  }
  if (result == SSH_AUTH_DENIED && (methods & SSH_AUTH_METHOD_INTERACTIVE) != 0) {
    result = answerPasswordPrompts(session, login.password);
  }
  if (result == SSH_AUTH_SUCCESS) return {};
  detail = ssh_get_error(session);
  return result == SSH_AUTH_ERROR ? ErrorCode::SshProtocolFailure : ErrorCode::SshLoginRefused;
}

Status openSftp(SftpLink& link, std::string& detail) {
  link.sftp =
      std::make_unique<SftpChannel>(link.ssh.get(), link.timeouts.reply, link.watchdog.get());
  Status opened = link.sftp->open();
  if (!opened) {
    detail = opened.reason();
    return opened;
  }
  link.posixRename = link.sftp->offers("posix-rename@openssh.com", "1");
  return {};
}

// The steps after the TCP connection, each on the link's session.
Status startSession(SftpLink& link, const SftpLogin& login, const std::string& file,
                    std::string& detail) {
  {
    const auto call = link.begin();
    if (ssh_connect(link.ssh.get()) != SSH_OK) return link.failure(detail);
  }
  const Status known = checkHostKey(link.ssh.get(), login.host, login.port, file, detail);
  if (!known) return known;
  {
    const auto call = link.begin();
    const Status loggedIn = login.privateKeyFile.empty()
                                ? logInWithPassword(link.ssh.get(), login, detail)
                                : logInWithKey(link.ssh.get(), login, detail);
    if (!loggedIn) return loggedIn;
  }
  return openSftp(link, detail);
}

}  // namespace

Status SftpSession::connect(const SftpLogin& login, std::unique_ptr<SftpSession>& session) {
  Socket socket;
  if (Status connected = connectToHost(login.host, login.port, login.timeouts.connect, socket);
      !connected) {
    return connected;
  }
  auto link = std::make_shared<SftpLink>();
  link->timeouts = login.timeouts;
  link->socket = std::move(socket);
  link->watchdog = std::make_unique<SftpWatchdog>(link->socket.fd());
  link->ssh.reset(ssh_new());
  const std::string file =
      login.knownHostsFile.empty() ? defaultKnownHostsFile() : login.knownHostsFile;
  // libssh (since 0.10) leaves closing a descriptor it was given to the caller: our socket.
  if (!link->ssh || !setOptions(link->ssh.get(), login, link->socket.fd(), file)) {
    return ErrorCode::InternetInternalError;
  }
  std::string detail;
  if (Status started = startSession(*link, login, file, detail); !started) {
    return Status(started.code(), detail);
  }
  session = std::make_unique<SftpSession>(std::move(link));
  return {};
}

}  // namespace skyhaul::inet
