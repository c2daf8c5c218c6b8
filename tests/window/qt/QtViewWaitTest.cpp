// What the window shows during the job's blocking waits, when it processes no events: exactly
// what the fields hold when the wait begins, however the refresh was paced before.

#include <QLabel>
#include <QPlainTextEdit>
#include <map>
#include <string>

#include "ViewTestSupport.h"
#include "job/Job.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"
#include "window/ClientEvents.h"
#include "window/ProgressDisplay.h"

namespace skyhaul::test {
namespace {

class QtViewWait : public QtViewTest {
 protected:
  // The widget texts at the start of each wait, by the wait's length.
  std::map<long, std::map<std::string, std::string>> shownAtWaits(const std::string& command) {
    std::map<long, std::map<std::string, std::string>> shown;
    clock_.onSleep = [&](std::chrono::milliseconds wait) {
      auto& texts = shown[static_cast<long>(wait.count())];
      for (const char* name : {"Label3", "Label7", "Label9", "Label11"}) {
        texts[name] = widget<QLabel>(name).text().toStdString();
      }
      texts["Tdir"] = widget<QPlainTextEdit>("Tdir").toPlainText().toStdString();
    };
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(local_.path());  // where the log grows
    job::Job job(form_, view_, clock_, programEnd_, {program_.path().string(), command});
    window::ProgressDisplay progress(form_, view_, clock_);
    window::ClientEvents events(form_, view_, progress);
    job.mFTP.setEvents(&events);
    job.Form_Load();
    try {
      job.Form_Activate();
    } catch (const ProgramEnded&) {
    }
    std::filesystem::current_path(previous);
    return shown;
  }

  TestFtpServer server_;
  TempDir program_;
  TempDir local_;
  FakeClock clock_;
};

TEST_F(QtViewWait, TheLastFilesEndIsOnScreenDuringTheWaits) {
  ::setenv("XDG_RUNTIME_DIR", local_.path().c_str(), 1);
  std::filesystem::create_directory(server_.root() / "in");
  writeFile(program_.path() / "ftpjob.ini",
            "[PROGRAM]\nIZBRANO=j\n[j]\nFTPURL=" + server_.address() +
                "\nftpdir=in/\nlocaldir=" + local_.prefix() + "\n");
  writeFile(local_.path() / "a.txt", patternBytes(300000));
  const std::string kilobytes = "292 KB od 292 KB Prenešeno";

  auto shown = shownAtWaits("a.txt,UP");

  // The upload's second before it completes the remote file; then the job's last five seconds.
  EXPECT_EQ(shown[1000]["Label11"], "Konec.");
  EXPECT_EQ(shown[1000]["Label7"], kilobytes);
  const std::map<std::string, std::string> end{{"Label3", "Status: Prenos je končan."},
                                               {"Label7", kilobytes},
                                               {"Label9", "100%"},
                                               {"Label11", "INTERNET CLOSE"},
                                               {"Tdir", ""}};
  EXPECT_EQ(shown[5000], end);
}

}  // namespace
}  // namespace skyhaul::test
