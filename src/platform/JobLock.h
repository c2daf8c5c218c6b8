#pragma once
// Keeps two runs of the same job apart: an exclusive lock on a file named after the job, in a
// folder only the job's user can write ($XDG_RUNTIME_DIR, else $XDG_STATE_HOME/skyhaul or
// ~/.local/state/skyhaul, made 0700), so that a read-only program folder still works and no
// other user can take or fake the lock. The kernel lets go of the lock when the process ends,
// however it ends.

#include <string>

namespace skyhaul::platform {

class JobLock {
 public:
  enum class Outcome { Acquired, HeldElsewhere };

  JobLock() = default;
  ~JobLock();
  JobLock(const JobLock&) = delete;
  JobLock& operator=(const JobLock&) = delete;

  // Takes the lock for `key` without waiting. HeldElsewhere when another process holds it; its
  // process id is then in `holder` (0 when it has not written it yet). Throws SystemError when
  // the lock file cannot be opened, is not a plain file of this user's, or lies in a folder
  // another user could write.
  Outcome acquire(const std::string& key, long& holder);

  // The lock file that `key` is kept in.
  static std::string pathFor(const std::string& key);

 private:
  int fd_ = -1;
};

}  // namespace skyhaul::platform
