#include "platform/ProcessLauncher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include "platform/SystemError.h"

extern char** environ;

namespace skyhaul::platform {

namespace {

enum class Quote { None, Single, Double };

// The program gets what any program started from a shell gets: every signal at its default
// action and none blocked, whatever this process ignores for itself (SIGPIPE, SIGXFSZ).
class CleanSignals {
 public:
  CleanSignals() {
    ::posix_spawnattr_init(&attributes_);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes_, &all);
    ::posix_spawnattr_setsigmask(&attributes_, &none);
    ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~CleanSignals() { ::posix_spawnattr_destroy(&attributes_); }
  CleanSignals(const CleanSignals&) = delete;
  CleanSignals& operator=(const CleanSignals&) = delete;
  const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

pid_t spawn(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const CleanSignals signals;
  const int error = ::posix_spawnp(&pid, argv[0], nullptr, signals.get(), argv.data(), environ);
  if (error != 0) {
    throwSystemError("Programa \"" + words.front() + "\" ni mogoče zagnati", error);
  }
  return pid;
}

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  Quote quote = Quote::None;
  for (std::size_t i = 0; i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    if (quote == Quote::Single) {
      if (c == '\'')
        quote = Quote::None;
      else
        word += c;
    } else if (c == '\\' && i + 1 < commandLine.size() &&
               (quote == Quote::None ||
                std::string("\"\\$`").find(commandLine[i + 1]) != std::string::npos)) {
      word += commandLine[++i];
      inWord = true;
    } else if (quote == Quote::Double) {
      if (c == '"')
        quote = Quote::None;
      else
        word += c;
    } else if (c == '\'' || c == '"') {
      quote = c == '\'' ? Quote::Single : Quote::Double;
      inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

void startProgram(const std::string& commandLine) {
  const auto words = splitCommandLine(commandLine);
  if (words.empty()) throw SystemError("Ukazna vrstica programa je prazna");
  spawn(words);
}

void openWithDefaultApplication(const std::string& target) {
  try {
    spawn({"xdg-open", target});
  } catch (const SystemError&) {
    // Like the shell's open action, a document that cannot be opened is not reported.
  }
}

}  // namespace skyhaul::platform
