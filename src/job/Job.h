#pragma once
// The job: start-up, the run from connection to program end, the transfer commands and the
// per-file steps. It works on the window's fields (FrmUpdate) and sees the screen only through
// the View; the operating system only through platform/. Whoever runs it joins mFTP's events
// to the window (window::ClientEvents) before Form_Load.

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "form/FrmUpdate.h"
#include "form/View.h"
#include "ftp/cFTP.h"
#include "job/NameQueue.h"
#include "job/RunRecord.h"
#include "job/TransferLog.h"
#include "platform/Clock.h"
#include "platform/FileInfo.h"
#include "platform/JobLock.h"
#include "platform/ProgramEnd.h"

namespace skyhaul::job {

// The server used when the settings name none.
inline constexpr const char* kDefaultServer = "localhost";
inline constexpr const char* kDefaultUser = "ftpjob";
inline constexpr const char* kDefaultPassword = "pelmun";
inline constexpr const char* kSettingsFileName = "ftpjob.ini";
inline constexpr int kStoredEntries = 20;
// A remote file modified less than this many seconds ago may still be being written: a download
// leaves it on the server even with DEL.
inline constexpr int kSettleSeconds = 60;

struct JobEnvironment {
  std::string programDirectory;               // where the executable lies, without a trailing "/"
  std::string commandLine;                    // the arguments joined with single spaces
  std::optional<std::string> settingsPath{};  // instead of ftpjob.ini in programDirectory
  // A dry run when set: the plan goes here, and nothing is moved, deleted, logged or started.
  std::ostream* dryRun = nullptr;
  RunRecord* record = nullptr;  // the run's record; the job keeps its own without
};

class Job {
 public:
  Job(form::FrmUpdate& form, form::View& view, platform::Clock& clock,
      platform::ProgramEnd& programEnd, JobEnvironment environment);
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // Reads the section in force into the fields, with defaults; sets up the FTP client.
  void Form_Load();
  // On the first activation only: takes the job command (or asks for it), switches to a
  // section named at its head, and runs the job, which ends the program.
  void Form_Activate();
  // Connects, runs `job` and prenos1..prenos20, closes, waits 5 s, starts run1..run20 and ends
  // the program.
  [[noreturn]] void RunJob(const std::string& job);
  // One transfer command "mask,direction[,DEL]".
  void ftpprenos(std::string ukaz);
  // The per-file steps for the name in Textimedat: up to three attempts; a third failure ends
  // the program.
  void upload();
  void download();
  // Opens a document or address with the desktop's default opener. Nothing calls it.
  void RunUpdate(const std::string& UpdateURL);

  ftp::cFTP mFTP;

 private:
  void warnAboutSettings();
  // Settings mistakes, told before anything moves (SettingsCheck.cpp): warnings, or the end of
  // the program when the job cannot run as meant.
  void checkSettings(const std::string& job, bool sectionFromCommand);
  void requireChosenSection();
  void warnAboutUnknownKeys(const std::string& section);
  void warnAboutMaskLikeSection(const std::string& first);
  void warnAboutLocalPrefix();
  void requireLocalFolder(const std::string& job);
  void warnAboutRemotePrefix();
  [[noreturn]] void endBeforeStart(const std::string& line);
  // The dry run's report (DryRun.cpp).
  void planStart();
  void planRemoteFolder();
  void planQueue(bool download);
  void planFollowUpPrograms();
  void switchToSection(const std::string& section);
  void lockJob();
  void reportStartFailure();
  void describeRun();
  void runStoredCommands();
  void startFollowUpPrograms();
  void downloadQueue();
  void uploadQueue();
  // The files a transfer must never send away or write over: the program itself, its settings
  // and its log. A name that would touch one is left out, with a status line saying why.
  struct OwnFile {
    platform::FileIdentity identity;
    const char* status;
  };
  std::vector<OwnFile> ownFiles() const;
  const char* ownFileStatus(const std::vector<OwnFile>& own, const std::string& name) const;
  std::vector<std::string> transferableNames(std::vector<std::string> candidates, bool download);
  void showLeftOut(const std::string& name, const char* status);
  bool leaveOutAtItsTurn(const std::string& localPath);
  void showTransferNote();
  void recordRemoteSource(bool deleted);
  void applySectionSwitches(const std::string& section);
  void showQueue();
  // A download's remote source that somebody may still be writing stays on the server
  // (RemoteSource.cpp).
  bool remoteSourceSettled(const std::string& remotePath);
  bool keepRemoteSource(const std::string& why);
  // An upload whose name equals an earlier one of its queue but for letter case, which a server
  // that does not tell them apart would write over it.
  bool holdsBackCaseTwin(const std::string& name);
  void noteSentForCaseTwins(const std::string& name);
  void reportListingFailure(const std::string& listed);
  bool sendFile(std::string& localPath, std::string& remotePath);
  std::string deleteSentSource(const std::string& localPath);
  void prepareNextAttempt(const char* status);
  [[noreturn]] void endAfterFailure(const std::string& status, const std::string& source,
                                    const std::string& target);

  form::FrmUpdate& form_;
  form::View& view_;
  platform::Clock& clock_;
  platform::ProgramEnd& programEnd_;
  JobEnvironment environment_;
  TransferLog log_;
  platform::JobLock lock_;
  std::ostream* plan_;            // a dry run's report; nullptr in a real run
  std::string command_;           // the transfer command under way, as given
  NameQueue queue_;               // the names of the command under way (Tdir shows them)
  bool listingFailed_ = false;    // a remote listing failed: the job ends with its own status
  bool publishByRename_ = false;  // the section's "zacasno=1"
  std::string uploadPart_;        // with it: the remote temporary of the file under way

  // The section's "starost": 0 turns the check off.
  int settleSeconds_ = kSettleSeconds;
  // The names sent with DEL in the upload command under way, by their ASCII lower case: the
  // name and the size sent last.
  struct SentName {
    std::string name;
    std::int64_t size;
  };
  std::map<std::string, SentName> sentFolded_;

  RunRecord ownRecord_;
  RunRecord& record_;  // what each file came to, for the run's record
};

}  // namespace skyhaul::job
