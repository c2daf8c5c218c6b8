#include "platform/SystemLog.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <sys/uio.h>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace skyhaul::platform {

namespace {

constexpr const char* kIdentifier = "skyhaul";
constexpr int kFacilityUser = 1 << 3;

bool journalSend(LogPriority priority, const std::string& message,
                 const std::vector<LogField>& fields) {
  std::vector<std::string> items{
      std::string("MESSAGE=").append(message),
      std::string("PRIORITY=").append(std::to_string(static_cast<int>(priority))),
      std::string("SYSLOG_IDENTIFIER=").append(kIdentifier)};
  for (const LogField& field : fields)
    items.push_back(std::string(field.name).append("=").append(field.value));
  std::vector<iovec> vectors;
  vectors.reserve(items.size());
  for (std::string& item : items) vectors.push_back({item.data(), item.size()});
  return sd_journal_sendv(vectors.data(), static_cast<int>(vectors.size())) == 0;
}

std::string escapedControls(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      std::array<char, 8> code{};
      std::snprintf(code.data(), code.size(), "\\x%02x", byte);
      escaped += code.data();
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// "<14>Dec  9 08:40:39 skyhaul[1234]: message", as syslog(3) sends it.
std::string syslogLine(LogPriority priority, const std::string& message) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::array<char, 32> stamp{};
  // The month's name in English whatever the locale, as syslog daemons expect.
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::snprintf(stamp.data(), stamp.size(), "%s %2d %02d:%02d:%02d", kMonths[local.tm_mon],
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  // Appended piece by piece: GCC 12 misreads "literal" + std::string at -O3 (-Wrestrict).
  std::string line = "<";
  line += std::to_string(kFacilityUser | static_cast<int>(priority));
  line += '>';
  line += stamp.data();
  line += ' ';
  line += kIdentifier;
  line += '[';
  line += std::to_string(::getpid());
  line += "]: ";
  line += escapedControls(message);
  return line;
}

class Socket {
 public:
  explicit Socket(int type) : fd_(::socket(AF_UNIX, type | SOCK_CLOEXEC, 0)) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool sendTo(const std::string& path, int type, const std::string& line) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const Socket socket(type);
  if (socket.fd() < 0) return false;
  if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    return false;
  }
  // A stream socket needs the line's end to tell one message from the next.
  const std::string sent = type == SOCK_STREAM ? line + '\n' : line;
  return ::send(socket.fd(), sent.data(), sent.size(), MSG_NOSIGNAL) ==
         static_cast<ssize_t>(sent.size());
}

bool syslogSend(const std::string& path, LogPriority priority, const std::string& message) {
  const std::string line = syslogLine(priority, message);
  if (sendTo(path, SOCK_DGRAM, line)) return true;
  return errno == EPROTOTYPE && sendTo(path, SOCK_STREAM, line);
}

}  // namespace

bool writeSystemLog(LogPriority priority, const std::string& message,
                    const std::vector<LogField>& fields) {
  const char* chosen = std::getenv(kSyslogSocketVariable);
  if (chosen != nullptr && *chosen != '\0') return syslogSend(chosen, priority, message);
  if (::access(kJournalSocket, F_OK) == 0) return journalSend(priority, message, fields);
  return syslogSend(kSyslogSocket, priority, message);
}

}  // namespace skyhaul::platform
