// One transfer command: the mask, the direction, the delete flag and the queue of names.
#include <algorithm>
#include <cctype>

#include "job/Job.h"
#include "platform/LocalDirectory.h"
#include "platform/LocalFile.h"
#include "settings/Filled.h"
#include "settings/PopToken.h"

namespace skyhaul::job {

using settings::IsFilled;
using settings::PopToken;

namespace {

std::string upperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool isControl(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code < 0x20 || code == 0x7F;
}

bool holdsControl(const std::string& name) {
  return std::any_of(name.begin(), name.end(), isControl);
}

// The name as a status line may show it: every control character written as \xHH, so that
// nothing from a name reaches the terminal or the log as a command of its own.
std::string escaped(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : name) {
    if (!isControl(c)) {
      text += c;
      continue;
    }
    const auto code = static_cast<unsigned char>(c);
    text.append("\\x").append(1, kHex[code >> 4]).append(1, kHex[code & 0xF]);
  }
  return text;
}

// The folder the local copies of a command are written to.
std::string folderOf(const std::string& prefix) {
  const auto slash = (prefix + "x").find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : prefix.substr(0, slash);
}

constexpr const char* kControlStatus =
    "Status: izpuščena: ime vsebuje kontrolne znake, ki jih prenos ne more nositi.";

}  // namespace

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
  return own;
}

// True (after the status line) when the local path of `name` is one of the program's own files.
bool Job::leaveOutOwnFile(const std::vector<OwnFile>& own, const std::string& name) {
  platform::FileIdentity identity;
  if (!platform::identifyFile(form_.textLDIR.text() + name, identity)) return false;
  for (const OwnFile& file : own) {
    if (file.identity != identity) continue;
    form_.Textimedat.setText(name);
    form_.Label3.setText(file.status);
    return true;
  }
  return false;
}

// True (after the status line) when `name` must stay where it is: it holds a control character,
// which the FTP commands, the terminal and the log cannot carry, or it is one of the program's
// own files.
bool Job::leaveOut(const std::vector<OwnFile>& own, const std::string& name) {
  if (holdsControl(name)) {
    form_.Textimedat.setText(escaped(name));
    form_.Label3.setText(kControlStatus);
    return true;
  }
  return leaveOutOwnFile(own, name);
}

// The listing without the names the download must not take: each such name's stretch of the
// list is cut out, so that the names left are read exactly as before.
std::string Job::downloadableNames(std::string listing) {
  const auto own = ownFiles();
  std::string kept;
  while (!listing.empty()) {
    const std::string before = listing;
    const std::string name = PopToken(listing);
    const std::string stretch = before.substr(0, before.size() - listing.size());
    std::string written = stretch;  // as listed, without the separator after it
    while (!written.empty() && (written.back() == ',' || written.back() == ' ')) {
      written.pop_back();
    }
    if (!(holdsControl(stretch) ? leaveOut(own, written) : leaveOutOwnFile(own, name))) {
      kept += stretch;
    }
  }
  return kept;
}

void Job::ftpprenos(std::string ukaz) {
  form_.Text1.setText(PopToken(ukaz));
  const std::string direction = PopToken(ukaz);
  form_.Chkbrisi.setValue(upperCase(ukaz) == "DEL" ? 1 : 0);
  if (upperCase(direction) == "DOWN") {
    downloadQueue();
  } else {
    uploadQueue();
  }
}

void Job::downloadQueue() {
  // What an earlier run could not finish goes first: a killed download left its temporary.
  platform::removeLeftoverPartFiles(folderOf(form_.textLDIR.text()));
  std::string listing;
  if (!mFTP.GetFTPFileNames(form_.textDIR.text() + form_.Text1.text(), listing)) {
    form_.Label3.setText(mFTP.GetLastErrorMessage());
  }
  form_.Tdir.setText(downloadableNames(listing));
  std::string queue = form_.Tdir.text();
  while (IsFilled(queue)) {
    form_.Textimedat.setText(PopToken(queue));
    download();
    form_.Tdir.setText(queue);
    view_.yield();
  }
}

// The whole queue is built before the first file is sent.
void Job::uploadQueue() {
  const auto own = ownFiles();
  std::string queue;
  for (const auto& name : platform::listMatchingFiles(form_.textLDIR.text() + form_.Text1.text())) {
    if (leaveOut(own, name) || !IsFilled(name)) continue;
    if (!queue.empty()) queue += ',';
    queue += name;
  }
  form_.Tdir.setText(queue);
  for (;;) {
    view_.yield();
    if (!IsFilled(queue)) break;
    form_.Textimedat.setText(PopToken(queue));
    upload();
    form_.Tdir.setText(queue);
  }
}

}  // namespace skyhaul::job
