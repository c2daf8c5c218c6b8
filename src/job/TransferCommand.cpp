// One transfer command: the mask, the direction, the delete flag and the queue of names.
#include <algorithm>
#include <cctype>

#include "job/Job.h"
#include "platform/LocalDirectory.h"
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

// The listing without the names the download must not write: each such name's stretch of the
// list is cut out, so that the names left are read exactly as before.
std::string Job::withoutOwnFiles(std::string listing) {
  const auto own = ownFiles();
  std::string kept;
  while (IsFilled(listing)) {
    const std::string before = listing;
    const std::string name = PopToken(listing);
    if (!leaveOutOwnFile(own, name)) kept += before.substr(0, before.size() - listing.size());
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
  form_.Tdir.setText(withoutOwnFiles(mFTP.GetFTPdir(form_.textDIR.text() + form_.Text1.text())));
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
    // A name the queue could not carry (one beginning with a control character would read as
    // an empty queue) is left out rather than hiding the names after it.
    if (!IsFilled(name) || leaveOutOwnFile(own, name)) continue;
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
