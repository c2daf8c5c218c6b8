#include "support/ChildExit.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

namespace skyhaul::test {

pid_t startServer(const std::string& program, std::vector<std::string> args,
                  const ServerOutput& where) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid > 0) return pid;
  // A server must not outlive a test program that crashes.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(127);
  const int none = open("/dev/null", O_RDONLY);
  dup2(none, STDIN_FILENO);
  if (!where.log.empty()) {
    const int log = open(where.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(log, STDERR_FILENO);
    if (where.output < 0) dup2(log, STDOUT_FILENO);
  }
  if (where.output >= 0) dup2(where.output, STDOUT_FILENO);
  execv(program.c_str(), argv.data());
  _exit(127);
}

std::optional<int> waitForExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void stopServer(pid_t pid, std::chrono::milliseconds limit) {
  ::kill(pid, SIGTERM);
  if (waitForExit(pid, limit).has_value()) return;
  ::kill(pid, SIGKILL);
  waitForExit(pid, limit);
}

}  // namespace skyhaul::test
