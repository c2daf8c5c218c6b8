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

// A name the queue could not carry (one beginning with a control character would read as an
// empty queue) is left out rather than hiding the names after it.
std::string joinNames(const std::vector<std::string>& names) {
  std::string list;
  for (const auto& name : names) {
    if (!IsFilled(name)) continue;
    if (!list.empty()) list += ',';
    list += name;
  }
  return list;
}

}  // namespace

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
  form_.Tdir.setText(mFTP.GetFTPdir(form_.textDIR.text() + form_.Text1.text()));
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
  std::string queue =
      joinNames(platform::listMatchingFiles(form_.textLDIR.text() + form_.Text1.text()));
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
