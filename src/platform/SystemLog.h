#pragma once
// One line in the system log, for whoever watches the machine rather than the program: to the
// journal with structured fields where the journal runs, to syslog otherwise. Nothing of it goes
// to the standard streams.

#include <string>
#include <vector>

namespace skyhaul::platform {

enum class LogPriority { Error = 3, Warning = 4, Info = 6 };

// A structured field of the journal: an upper-case name ("SKYHAUL_SECTION") and its value.
struct LogField {
  std::string name;
  std::string value;
};

// The journal's socket; where it is missing, syslog's.
inline constexpr const char* kJournalSocket = "/run/systemd/journal/socket";
inline constexpr const char* kSyslogSocket = "/dev/log";
// Names another syslog socket, for tests and diagnostics; the journal is then passed over.
inline constexpr const char* kSyslogSocketVariable = "SKYHAUL_SYSLOG_SOCKET";

// Sends `message` as program "skyhaul" with `priority`; in syslog the fields are not sent (the
// message says what they say). Control characters of the message are written as \xNN there.
// False when no log took it.
bool writeSystemLog(LogPriority priority, const std::string& message,
                    const std::vector<LogField>& fields);

}  // namespace skyhaul::platform
