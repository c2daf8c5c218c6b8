// One transfer command: the mask, the direction, the delete flag and the queue of names.
#include <climits>

#include "SkyhaulModule.h"
#include "form/StatusLine.h"
#include "job/Job.h"
#include "job/LeaveOut.h"
#include "platform/Ascii.h"
#include "platform/LocalDirectory.h"
#include "platform/PartFile.h"
#include "platform/PathParts.h"
#include "settings/PopToken.h"

namespace skyhaul::job {

using settings::PopToken;

std::vector<Job::OwnFile> Job::ownFiles() const {
  std::vector<OwnFile> own;
  OwnFile file;
  if (platform::identifyExecutable(file.identity)) {
    file.status = "Status: izpuščena: to je program sam.";
    own.push_back(file);
  }
  if (platform::identifyFile(form_.IniPath, file.identity)) {
    file.status = "Status: izpuščena: to so nastavitve tega posla.";
    own.push_back(file);
  }
  if (platform::identifyFile(log_.path(), file.identity)) {
    file.status = "Status: izpuščena: to je dnevnik prenosov.";
    own.push_back(file);
  }
  // The window module is code the next run with a display loads: wherever it is looked for,
  // installed there or not.
  for (const std::string& path : windowModulePaths(environment_.programDirectory)) {
    if (platform::identifyFile(path, file.identity)) {
      file.status = "Status: izpuščena: to je okenski modul programa.";
      own.push_back(file);
    }
  }
  return own;
}

// The status line of a name that stays where it is; the name is shown with its control
// characters escaped.
void Job::showLeftOut(const std::string& name, const char* status) {
  form_.Textimedat.setText(escapedName(name));
  form_.Label3.setText(status);
}

// The reason the local file `name` names (the very file that would be read or written, links
// followed) is one of the program's own, or nullptr.
const char* Job::ownFileStatus(const std::vector<OwnFile>& own, const std::string& name) const {
  platform::FileIdentity identity;
  if (!platform::identifyFile(form_.textLDIR.text() + name, identity)) return nullptr;
  for (const OwnFile& file : own) {
    if (file.identity == identity) return file.status;
  }
  return nullptr;
}

// The names of `candidates` that may move, in their order; each one left out gets its status
// line.
std::vector<std::string> Job::transferableNames(std::vector<std::string> candidates,
                                                bool download) {
  const auto own = ownFiles();
  std::vector<std::string> kept;
  kept.reserve(candidates.size());
  for (auto& name : candidates) {
    const char* status = nameStatus(name, download);
    if (status == nullptr) status = localFileStatus(form_.textLDIR.text() + name);
    if (status == nullptr) status = ownFileStatus(own, name);
    if (status == nullptr) {
      kept.push_back(std::move(name));
    } else {
      showLeftOut(name, status);
    }
  }
  view_.detail("Ukaz \"" + escapedName(command_) + "\": imen " + std::to_string(candidates.size()) +
               ", za prenos " + std::to_string(kept.size()) + ".");
  return kept;
}

void Job::ftpprenos(std::string ukaz) {
  command_ = ukaz;
  form_.Text1.setText(PopToken(ukaz));
  const std::string direction = PopToken(ukaz);
  form_.Chkbrisi.setValue(platform::asciiUpper(ukaz) == "DEL" ? 1 : 0);
  if (platform::asciiUpper(direction) == "DOWN") {
    downloadQueue();
  } else {
    uploadQueue();
  }
}

void Job::downloadQueue() {
  const std::string listed = form_.textDIR.text() + form_.Text1.text();
  std::vector<std::string> names;
  if (!mFTP.GetFTPFileNames(listed, names)) reportListingFailure(listed);
  queue_.assign(transferableNames(std::move(names), true));
  if (plan_ != nullptr) return planQueue(true);
  showQueue();
  while (!queue_.empty()) {
    form_.Textimedat.setText(queue_.pop());
    download();
    showQueue();
    view_.yieldBeforeWait();
  }
  // What no download took up again goes: a part a killed run left of a file that is no longer
  // there, or that changed since.
  platform::removeLeftoverPartFiles(platform::folderOf(form_.textLDIR.text()));
}

// The whole queue is built before the first file is sent.
void Job::uploadQueue() {
  queue_.assign(transferableNames(
      platform::listMatchingFiles(form_.textLDIR.text() + form_.Text1.text()), false));
  if (plan_ != nullptr) return planQueue(false);
  showQueue();
  sentFolded_.clear();
  for (;;) {
    view_.yieldBeforeWait();
    if (queue_.empty()) break;
    form_.Textimedat.setText(queue_.pop());
    const std::string name = form_.Textimedat.text();
    if (!holdsBackCaseTwin(name)) {
      noteSentForCaseTwins(name);
      upload();
    }
    showQueue();
  }
}

void Job::showQueue() {
  queue_.show();
  form_.Tdir.follow(queue_);
}

// Nothing to transfer, yet not nothing to report: the job goes on with its other commands and
// ends with its own status. The listing may have cost the connection, so it is opened anew.
void Job::reportListingFailure(const std::string& listed) {
  listingFailed_ = true;
  form_.Textimedat.setText(escapedName(listed));
  form_.Label3.setText("Status napaka: " + form::oneLine(mFTP.GetLastErrorMessage()));
  view_.yieldBeforeWait();
  mFTP.CloseConnection();
  mFTP.OpenConnection(form_.textURL.text(), form_.FtpUser, form_.FtpPassword);
  mFTP.SetFTPDirectory("/");
}

}  // namespace skyhaul::job
