#include "job/TransferLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/DateTimeText.h"
#include "platform/SystemError.h"

namespace skyhaul::job {

namespace {

constexpr const char* kArrow = "----->";

// Closes the descriptor on every path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

}  // namespace

TransferLog::TransferLog(platform::Clock& clock, std::string path)
    : clock_(clock), path_(std::move(path)) {}

void TransferLog::appendSuccess(const std::string& source, const std::string& target) {
  appendLine(platform::defaultDateTimeText(clock_.now()) + " " + source + kArrow + target);
}

void TransferLog::appendFailure(const std::string& source, const std::string& target,
                                const std::string& error) {
  appendLine("NAPAKA" + platform::defaultDateTimeText(clock_.now()) + " " + source + kArrow +
             target + " " + error);
}

// One write of the whole line, so lines from two runs sharing a log never interleave.
void TransferLog::appendLine(const std::string& line) {
  const std::string what = "Dnevnika prenosov \"" + path_ + "\" ni mogoče pisati";
  FileDescriptor fd(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  if (fd.get() < 0) platform::throwSystemError(what, errno);
  const std::string bytes = line + "\r\n";
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) platform::throwSystemError(what, errno);
    done += static_cast<std::size_t>(put);
  }
  if (::close(fd.release()) != 0) platform::throwSystemError(what, errno);
}

}  // namespace skyhaul::job
