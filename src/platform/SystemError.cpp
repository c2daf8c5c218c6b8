#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace skyhaul::platform {

namespace {

// The causes a user of this program meets, in the program's language; others keep the
// system's own text.
const char* slovenianCause(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
      return "datoteka ali imenik ne obstaja";
    case EACCES:
    case EPERM:
      return "dostop ni dovoljen";
    case EROFS:
      return "datotečni sistem je samo za branje";
    case ENOSPC:
      return "na disku ni več prostora";
    case EISDIR:
      return "to je imenik";
    case ENOTDIR:
      return "del poti ni imenik";
    case ENAMETOOLONG:
      return "ime je predolgo";
    case EBUSY:
    case ETXTBSY:
      return "datoteka je v uporabi";
    case EIO:
      return "vhodno-izhodna napaka";
    case ENOEXEC:
      return "datoteka ni izvedljiv program";
    default:
      return nullptr;
  }
}

}  // namespace

std::string systemErrorText(int errorNumber) {
  const char* cause = slovenianCause(errorNumber);
  return cause != nullptr ? cause : std::strerror(errorNumber);
}

void throwSystemError(const std::string& what, int errorNumber) {
  throw SystemError(what + ": " + systemErrorText(errorNumber));
}

}  // namespace skyhaul::platform
