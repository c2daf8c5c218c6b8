#pragma once
// Keeps two runs of the same job apart, whoever starts them (root by hand, the timer's user):
// a lock held on the settings file itself, through a descriptor opened only for reading. Every
// user who may run the job can read that file, and only those can lock it, so nobody else can
// take or fake the lock; and nothing is created, so nothing is left behind. Each section has
// a byte range of its own far beyond the file's end, so runs of other sections go on side by
// side. The kernel lets go of the lock when the process ends, however it ends.

#include <string>

#include "platform/FileDescriptor.h"

namespace skyhaul::platform {

class JobLock {
 public:
  enum class Outcome { Acquired, HeldElsewhere };

  JobLock() = default;
  JobLock(const JobLock&) = delete;
  JobLock& operator=(const JobLock&) = delete;

  // Takes the lock of `section` in the settings file `settingsPath` (its folder when the file
  // does not exist or may not be read) without waiting. HeldElsewhere when another run holds
  // it; its process id is then in `holder` (0 when it cannot be told). Throws SystemError when
  // neither the file nor its folder can be opened.
  Outcome acquire(const std::string& settingsPath, const std::string& section, long& holder);

 private:
  FileDescriptor fd_;
};

}  // namespace skyhaul::platform
