// The per-file steps: one file up or down with up to three attempts, the log line and the
// deletion of the source.
#include <chrono>

#include "form/StatusLine.h"
#include "job/Job.h"
#include "job/LeaveOut.h"
#include "platform/LocalDirectory.h"
#include "platform/LocalTarget.h"
#include "platform/PartFile.h"
#include "platform/PathParts.h"

namespace skyhaul::job {

namespace {

constexpr int kAttempts = 3;
using form::kDone;
using form::kDownloading;
using form::kUploading;
constexpr const char* kDeletedAsAsked = "pobrisan po prenosu, kot zahteva DEL";
constexpr const char* kKeptWithoutDel = "ukaz ne zahteva brisanja (DEL)";

}  // namespace

void Job::upload() {
  std::string remotePath = form_.textDIR.text() + form_.Textimedat.text();
  std::string localPath = form_.textLDIR.text() + form_.Textimedat.text();
  if (leaveOutAtItsTurn(localPath)) return;
  uploadPart_.clear();
  form_.TransferStart = clock_.secondsSinceMidnight();
  form_.Label3.setText(kUploading);
  mFTP.SetFTPDirectory("/");
  view_.yieldBeforeWait();
  clock_.sleep(std::chrono::milliseconds(100));
  bool failed = false;
  for (int attemptsLeft = kAttempts;;) {
    record_.attemptStarted(Direction::Up, localPath, remotePath);
    failed = !sendFile(localPath, remotePath);
    --attemptsLeft;
    if (!failed || attemptsLeft == 0) break;
    prepareNextAttempt(kUploading);
  }
  if (failed) endAfterFailure("Status napaka:", localPath, remotePath);
  record_.succeeded(mFTP.GetTransferFacts());
  showTransferNote();
  form_.Label3.setText(kDone);
  log_.appendSuccess(localPath, remotePath);
  if (!form_.Chkbrisi.ticked()) {
    record_.sourceHandled(false, kKeptWithoutDel);
  } else {
    const std::string kept = deleteSentSource(localPath);
    record_.sourceHandled(kept.empty(), kept.empty() ? std::string(kDeletedAsAsked) : kept);
  }
  view_.yieldBeforeWait();
  view_.yieldBeforeWait();
}

// The source goes only while its name still names the very file that was sent: a newer version
// renamed into place while the server checked the copy stays, and says so. The log line stands:
// what was sent arrived.
// "" when the source is gone; else why it stays.
std::string Job::deleteSentSource(const std::string& localPath) {
  const auto& sent = mFTP.GetUploadedSource();
  const platform::SourceDeletion outcome =
      sent ? platform::deleteSentFile(localPath, *sent) : platform::SourceDeletion::Replaced;
  if (outcome == platform::SourceDeletion::Deleted) return {};
  const std::string why =
      outcome == platform::SourceDeletion::Gone
          ? "med prenosom je bila premaknjena ali izbrisana."
          : "pod njenim imenom je zdaj druga ali spremenjena datoteka, ne poslana.";
  form_.Label3.setText("Status: izvorna datoteka \"" + escapedName(localPath) +
                       "\" ni izbrisana: " + why);
  return why;
}

void Job::download() {
  std::string remotePath = form_.textDIR.text() + form_.Textimedat.text();
  std::string localPath = form_.textLDIR.text() + form_.Textimedat.text();
  if (leaveOutAtItsTurn(localPath)) return;
  form_.TransferStart = clock_.secondsSinceMidnight();
  form_.Label3.setText(kDownloading);
  mFTP.SetFTPDirectory("/");
  view_.yieldBeforeWait();
  clock_.sleep(std::chrono::milliseconds(100));
  bool failed = false;
  for (int attemptsLeft = kAttempts;;) {
    record_.attemptStarted(Direction::Down, localPath, remotePath);
    failed = !mFTP.FTPDownloadFile(localPath, remotePath);
    --attemptsLeft;
    if (!failed || attemptsLeft == 0) break;
    prepareNextAttempt(kDownloading);
  }
  if (failed) endAfterFailure("Status napaka: ", remotePath, localPath);
  record_.succeeded(mFTP.GetTransferFacts());
  showTransferNote();
  form_.Label3.setText(kDone);
  log_.appendSuccess(remotePath, localPath);
  // The source is deleted only once its copy is sure to be on the disk, and nobody seems to be
  // writing it still. A remote source that cannot be deleted stays on the server; the job goes
  // on.
  bool deleted = false;
  if (form_.Chkbrisi.ticked() &&
      platform::syncLocalFile(localPath) == platform::ErrorCode::Success &&
      remoteSourceSettled(remotePath)) {
    deleted = mFTP.DeleteFTPFile(remotePath);
  }
  recordRemoteSource(deleted);
  view_.yieldBeforeWait();
  view_.yieldBeforeWait();
}

// What became of a download's source, for the run's record.
void Job::recordRemoteSource(bool deleted) {
  if (!form_.Chkbrisi.ticked()) {
    record_.sourceHandled(false, kKeptWithoutDel);
  } else if (deleted) {
    record_.sourceHandled(true, kDeletedAsAsked);
  } else {
    record_.sourceHandled(false,
                          "ostane na strežniku: " + form::oneLine(mFTP.GetLastErrorMessage()));
  }
}

// A file taken up again part-way, or confirmed by the server's digest, says so.
void Job::showTransferNote() {
  const std::string note = mFTP.GetTransferNote();
  if (!note.empty()) form_.Label3.setText("Status: " + note + ".");
}

// The queue was checked when it was built; a local file may have been put in its place since
// (a FIFO would hold the job for ever, a link could send it anywhere).
bool Job::leaveOutAtItsTurn(const std::string& localPath) {
  const char* status = localFileStatus(localPath);
  if (status == nullptr) return false;
  showLeftOut(form_.Textimedat.text(), status);
  return true;
}

// With publishing by rename ("zacasno=1") the file arrives under a hidden name in its folder and
// takes its own name only once it is verified whole, for servers whose consumers take whatever
// appears. The temporary's name is fresh for each file, so no other run's upload can meet it,
// and kept over the file's attempts, so that one cut part-way is finished by the next.
bool Job::sendFile(std::string& localPath, std::string& remotePath) {
  if (!publishByRename_) return mFTP.FTPUploadFile(localPath, remotePath);
  if (uploadPart_.empty()) {
    uploadPart_ = platform::folderPrefixOf(remotePath) + platform::newPartFileName();
  }
  std::string temporary = uploadPart_;
  if (!mFTP.FTPUploadFile(localPath, temporary)) return false;
  const bool published = mFTP.RenameFTPFile(temporary, remotePath);
  if (!published) mFTP.DeleteFTPFile(temporary);
  uploadPart_.clear();
  return published;
}

// Shows the error, reconnects with the server as the field reads now, and shows `status` again.
void Job::prepareNextAttempt(const char* status) {
  form_.Label3.setText(mFTP.GetLastErrorMessage());
  view_.yieldBeforeWait();
  clock_.sleep(std::chrono::milliseconds(1000));
  mFTP.CloseConnection();
  mFTP.OpenConnection(form_.textURL.text(), form_.FtpUser, form_.FtpPassword);
  view_.yieldBeforeWait();
  mFTP.SetFTPDirectory("/");
  clock_.sleep(std::chrono::milliseconds(1000));
  form_.Label3.setText(status);
  view_.yieldBeforeWait();
}

// After the third failure: the error in the status line, the failure line in the log, a pause
// for the operator to read it, and the end of the program. The source stays.
void Job::endAfterFailure(const std::string& status, const std::string& source,
                          const std::string& target) {
  record_.failed(mFTP.GetLastErrorMessage());
  form_.Label3.setText(status + mFTP.GetLastErrorMessage());
  log_.appendFailure(source, target, mFTP.GetLastErrorMessage());
  view_.yieldBeforeWait();
  clock_.sleep(std::chrono::milliseconds(5000));
  programEnd_.endProgram(platform::ExitStatus::FileFailed);
}

}  // namespace skyhaul::job
