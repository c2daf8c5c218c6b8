#include "support/SkyhaulProcess.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string_view>
#include <thread>

extern char** environ;

namespace skyhaul::test {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);
// Exit code of a child that could not be set up; never one of the program's own.
constexpr int kSetupFailed = 120;
// What lets root read, write and search regardless of file modes.
constexpr int kFileModeCapabilities[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

// The test's environment without any setting of the program's own, then the console view and
// the extra entries of the case.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with("SKYHAUL_")) entries.emplace_back(*entry);
  }
  entries.emplace_back("SKYHAUL_UI=console");
  for (const auto& entry : extra) {
    const auto equals = entry.find('=');
    const std::string prefix = entry.substr(0, equals) + "=";
    std::erase_if(entries, [&](const std::string& e) { return e.starts_with(prefix); });
    if (equals != std::string::npos) entries.push_back(entry);
  }
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (auto& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

int openForChild(const std::filesystem::path& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  return fd;
}

// Runs in the child between fork and exec: only calls that are safe there.
[[noreturn]] void becomeProgram(const char* workingDirectory, int input, int output, int errors,
                                const RunOptions& options, char** argv, char** envp) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
      ::dup2(errors, STDERR_FILENO) < 0 || ::chdir(workingDirectory) != 0) {
    ::_exit(kSetupFailed);
  }
  if (options.fileSizeLimit >= 0) {
    const auto limit = static_cast<rlim_t>(options.fileSizeLimit);
    const rlimit bound{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &bound) != 0) ::_exit(kSetupFailed);
  }
  if (options.obeyFileModes && ::geteuid() == 0) {
    // Dropped from the bounding set, they are gone from the program after exec.
    for (const int capability : kFileModeCapabilities) {
      if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) ::_exit(kSetupFailed);
    }
  }
  ::execve(argv[0], argv, envp);
  ::_exit(kSetupFailed);
}

}  // namespace

SkyhaulProcess::SkyhaulProcess(const std::filesystem::path& program,
                               const std::filesystem::path& workingDirectory, RunOptions options)
    : outputPath_(files_.path() / "output"),
      errorsPath_(files_.path() / "errors"),
      options_(std::move(options)) {
  std::vector<std::string> arguments{program.string()};
  arguments.insert(arguments.end(), options_.arguments.begin(), options_.arguments.end());
  std::vector<std::string> environment = childEnvironment(options_.environment);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);
  const std::string directory = workingDirectory.string();
  const int input = openForChild("/dev/null", O_RDONLY);
  const int output = openForChild(outputPath_, O_WRONLY | O_CREAT | O_TRUNC);
  const int errors = openForChild(errorsPath_, O_WRONLY | O_CREAT | O_TRUNC);
  started_ = std::chrono::steady_clock::now();
  pid_ = ::fork();
  if (pid_ == 0) {
    becomeProgram(directory.c_str(), input, output, errors, options_, argv.data(), envp.data());
  }
  ::close(input);
  ::close(output);
  ::close(errors);
  if (pid_ < 0) throw std::runtime_error("fork failed");
}

SkyhaulProcess::~SkyhaulProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  reap(0);
}

std::string SkyhaulProcess::output() const { return readFile(outputPath_); }

std::string SkyhaulProcess::errors() const { return readFile(errorsPath_); }

bool SkyhaulProcess::waitForErrors(const std::string& text, std::chrono::milliseconds limit,
                                   int count) {
  const auto written = [&] { return occurrences(errors(), text) >= count; };
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!written()) {
    // The last words of a program that has ended are already in the file.
    if (pid_ <= 0 || reap(WNOHANG)) return written();
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

RunOutcome SkyhaulProcess::kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
  return finish();
}

RunOutcome SkyhaulProcess::finish() {
  RunOutcome outcome;
  const auto deadline = started_ + options_.limit;
  while (pid_ > 0 && !reap(WNOHANG)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      outcome.hung = true;
      ::kill(pid_, SIGKILL);
      reap(0);
      break;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(ended_ - started_);
  if (WIFEXITED(waitStatus_)) outcome.exitStatus = WEXITSTATUS(waitStatus_);
  if (WIFSIGNALED(waitStatus_)) outcome.signal = WTERMSIG(waitStatus_);
  outcome.output = output();
  outcome.errors = errors();
  outcome.peakMemoryKiB = peakMemoryKiB_;
  return outcome;
}

// True once the program has ended (its status kept); `options` as for waitpid.
bool SkyhaulProcess::reap(int options) {
  if (pid_ <= 0) return true;
  for (;;) {
    rusage usage{};
    const pid_t done = ::wait4(pid_, &waitStatus_, options, &usage);
    if (done == pid_) {
      peakMemoryKiB_ = usage.ru_maxrss;
      pid_ = -1;
      ended_ = std::chrono::steady_clock::now();
      return true;
    }
    if (done == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace skyhaul::test
