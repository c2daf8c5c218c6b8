// The dry run: the job connects, lists and checks as always, and reports what it would do
// instead of doing it. The transfer command builds its queue as for a real run; this is where
// the queue is shown instead of moved.
#include <cstdint>
#include <string>
#include <vector>

#include "job/Job.h"
#include "job/LeaveOut.h"
#include "platform/FileInfo.h"
#include "platform/PathParts.h"
#include "settings/Filled.h"
#include "settings/ReadIni.h"

namespace skyhaul::job {

namespace {

// "1 datoteka", "2 datoteki", "3 datoteke", "5 datotek": the Slovenian forms of the count.
std::string fileCount(std::size_t count) {
  const std::size_t lastTwo = count % 100;
  const char* word = lastTwo == 1                   ? "datoteka"
                     : lastTwo == 2                 ? "datoteki"
                     : lastTwo == 3 || lastTwo == 4 ? "datoteke"
                                                    : "datotek";
  return std::to_string(count) + " " + word;
}

std::string sizeText(std::int64_t size) {
  return size >= 0 ? std::to_string(size) + " B" : "velikost neznana";
}

}  // namespace

void Job::planStart() {
  *plan_ << "Poskusni zagon: nič se ne prenese, nič se ne izbriše.\n" << std::flush;
}

// The remote folder is listed once, so that a job of uploads learns as well whether its target
// is there; a listing that fails ends the dry run with the listing's status, as it would end
// the real one.
void Job::planRemoteFolder() {
  const std::string folder = platform::folderPrefixOf(form_.textDIR.text());
  *plan_ << "Strežnik \"" << form_.textURL.text() << "\": prijava kot " << form_.FtpUser
         << " uspela.\n"
         << "Lokalna mapa: \"" << form_.textLDIR.text() << "\"\n"
         << "Mapa na strežniku: \"" << form_.textDIR.text() << "\"\n";
  std::vector<std::string> names;
  if (!mFTP.GetFTPFileNames(folder + "*", names)) {
    *plan_ << "Mape na strežniku \"" << folder << "\" ni mogoče prebrati.\n";
    reportListingFailure(folder + "*");
  }
  *plan_ << std::flush;
}

// Each name with its size, direction and what would happen to its source; the queue is left
// empty, as after a real command.
void Job::planQueue(bool download) {
  std::vector<std::string> names;
  while (!queue_.empty()) names.push_back(queue_.pop());
  showQueue();
  const bool deletes = form_.Chkbrisi.ticked();
  *plan_ << "Ukaz \"" << escapedName(command_) << "\": " << fileCount(names.size()) << '\n';
  for (const std::string& name : names) {
    const std::int64_t size = download ? mFTP.GetFTPFileSize(form_.textDIR.text() + name)
                                       : platform::regularFileSize(form_.textLDIR.text() + name);
    *plan_ << "  " << (download ? "s strežnika" : "na strežnik") << "  " << escapedName(name)
           << "  " << sizeText(size) << (deletes ? "  (izvor se izbriše)" : "") << '\n';
  }
  *plan_ << std::flush;
}

void Job::planFollowUpPrograms() {
  bool any = false;
  for (int i = 1; i <= kStoredEntries; ++i) {
    const std::string key = "run" + std::to_string(i);
    const std::string commandLine = settings::ReadIni(form_.SelectedSection, key, form_.IniPath);
    if (!settings::IsFilled(commandLine)) continue;
    *plan_ << "Po prenosih bi se zagnal " << key << ": " << escapedName(commandLine) << '\n';
    any = true;
  }
  if (!any) *plan_ << "Naknadnih programov (run1..run20) ni.\n";
  *plan_ << "Konec poskusnega zagona.\n" << std::flush;
}

}  // namespace skyhaul::job
