// What the job asks of a remote file before it gives up a copy of it: a download's source that
// somebody may still be writing is not deleted, and an upload does not write over a file of its
// own queue on a server that does not tell letter case apart.
#include <chrono>
#include <cstdint>
#include <string>

#include "job/Job.h"
#include "job/LeaveOut.h"
#include "platform/Ascii.h"
#include "platform/FileInfo.h"
#include "platform/UtcStamp.h"

namespace skyhaul::job {

namespace {

std::string secondsText(std::int64_t seconds) { return std::to_string(seconds) + " s"; }

}  // namespace

// A server without upload locks lets a file be read, and deleted, while its sender is still
// writing it. Nobody seems to be when the file is as it was when its data started to move
// (size, and time where the server gave one) and its time lies at least `starost` back. The
// time is the server's: one that runs ahead makes files look new, which the status line says.
bool Job::remoteSourceSettled(const std::string& remotePath) {
  if (settleSeconds_ == 0) return true;
  const std::int64_t size = mFTP.GetRemoteFileSize(remotePath);
  const std::string stamp = mFTP.GetRemoteFileTime(remotePath);
  const std::string before = mFTP.GetDownloadedTime();
  if (size < 0) return keepRemoteSource("po prenosu je ni bilo mogoče znova preveriti");
  if (size != mFTP.GetDownloadedSize() || (!before.empty() && stamp != before)) {
    return keepRemoteSource("med prenosom se je spremenila, morda se še piše");
  }
  const auto modified = platform::timeOfUtcStamp(stamp);
  if (!modified) return true;  // a server that gives no time: its size is all there is
  const auto age = std::chrono::duration_cast<std::chrono::seconds>(clock_.now() - *modified);
  const std::string limit = " (starost=" + std::to_string(settleSeconds_) + ")";
  if (age.count() < 0) {
    return keepRemoteSource("njen čas spremembe je " + secondsText(-age.count()) +
                            " v prihodnosti; ura strežnika morda prehiteva" + limit);
  }
  if (age.count() < settleSeconds_) {
    return keepRemoteSource("spremenjena je bila pred " + secondsText(age.count()) +
                            ", morda se še piše" + limit);
  }
  return true;
}

bool Job::keepRemoteSource(const std::string& why) {
  form_.Label3.setText("Status: ostane na strežniku: " + why + ".");
  return false;
}

// "Report.csv" and "report.csv" are one file on many servers: the second would replace the
// first after its source was deleted. The later one goes only where the server shows it keeps
// the names apart: it holds a file of a different size under the later name, or tells the
// earlier name's time but knows nothing of the later one. Else its source waits for the next
// run, when the earlier one is no longer in the queue.
bool Job::holdsBackCaseTwin(const std::string& name) {
  if (!form_.Chkbrisi.ticked()) return false;
  const std::string folded = platform::asciiLower(name);
  const auto earlier = sentFolded_.find(folded);
  if (earlier == sentFolded_.end()) return false;
  const std::string remotePath = form_.textDIR.text() + name;
  const std::int64_t size = mFTP.GetRemoteFileSize(remotePath);
  if (size >= 0 && size != earlier->second.size) return false;
  if (size == -1 && mFTP.GetRemoteFileTime(remotePath).empty() &&
      !mFTP.GetRemoteFileTime(form_.textDIR.text() + earlier->second.name).empty()) {
    return false;
  }
  showLeftOut(
      name, ("Status: izpuščena: na strežniku bi nadomestila " + escapedName(earlier->second.name) +
             " (strežnik morda ne loči velikih in malih črk); izvor ostane.")
                .c_str());
  return true;
}

void Job::noteSentForCaseTwins(const std::string& name) {
  if (!form_.Chkbrisi.ticked()) return;
  sentFolded_[platform::asciiLower(name)] = {
      name, platform::regularFileSize(form_.textLDIR.text() + name)};
}

}  // namespace skyhaul::job
