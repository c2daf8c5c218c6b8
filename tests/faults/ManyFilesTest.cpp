// A mask that matches 10,000 local files: the queue holds them all and every one is moved.
// With the program's fixed waits (1.1 s a file) the real binary would need three hours, so this
// case runs the job in this process with the clock replaced: the waits are counted, not slept,
// and what the wall clock shows is the time per file beyond them, which the case prints.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>

#include "form/FrmUpdate.h"
#include "form/View.h"
#include "job/Job.h"
#include "platform/inet/InternetSession.h"
#include "support/FakeClock.h"
#include "support/JobFiles.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"
#include "window/ClientEvents.h"
#include "window/ProgressDisplay.h"

namespace skyhaul::test {
namespace {

constexpr int kFiles = 10000;

// Keeps the first queue the job shows: the whole list of names, before any file is sent.
class QueueView final : public form::View {
 public:
  explicit QueueView(form::FrmUpdate& form) : form_(form) {}
  void yield() override {}
  bool isMinimized() const override { return false; }
  std::string inputBox(const std::string&, const std::string&) override { return {}; }
  void reportUnhandledError(const std::string& message) override { error = message; }
  void notice(const std::string& /*line*/) override {}
  void fieldChanged(form::FieldId field) override {
    if (field == form::FieldId::Tdir && !queueSeen) {
      firstQueue = form_.Tdir.text();
      queueSeen = true;
    }
  }

  std::string firstQueue;
  bool queueSeen = false;
  std::string error;

 private:
  form::FrmUpdate& form_;
};

std::string fileName(int i) {
  std::string digits = std::to_string(i);
  std::string name = "f";  // appended: GCC 12's -Wrestrict misreads "f" + ... at -O3
  return name.append(5 - digits.size(), '0').append(digits).append(".dat");
}

std::string fileBytes(int i) { return patternBytes(64 + i % 200, static_cast<unsigned>(i)); }

TEST(ManyFiles, TenThousandLocalFilesAllQueuedAndMoved) {
  TestFtpServer server;
  TempDir program;
  TempDir local;
  TempDir work;
  std::filesystem::create_directory(server.root() / "in");
  for (int i = 0; i < kFiles; ++i) writeFile(local.path() / fileName(i), fileBytes(i));
  writeFile(program.path() / "ftpjob.ini", jobSettings(server.address(), local.prefix()));
  inet::setDefaultTimeouts(
      {std::chrono::seconds(10), std::chrono::seconds(10), std::chrono::seconds(10)});
  FakeClock clock;
  FakeProgramEnd programEnd;
  form::FrmUpdate form(programEnd);
  QueueView view(form);
  form.attach(&view);
  job::Job job(form, view, clock, programEnd, {program.path().string(), "*.dat,UP,DEL"});
  window::ProgressDisplay progress(form, view, clock);
  window::ClientEvents events(form, view, progress);
  job.mFTP.setEvents(&events);

  std::optional<platform::ExitStatus> status;
  const auto started = std::chrono::steady_clock::now();
  {
    InDirectory inWork(work.path());  // the log grows in the working directory
    try {
      job.Form_Load();
      job.Form_Activate();
    } catch (const ProgramEnded& ended) {
      status = ended.status;
    }
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;

  ASSERT_EQ(status, platform::ExitStatus::Completed) << view.error;
  EXPECT_EQ(std::count(view.firstQueue.begin(), view.firstQueue.end(), ',') + 1, kFiles);
  // 100 ms before and 1 s at the end of every file, 5 s at the end of the job.
  EXPECT_EQ(clock.sleeps.size(), 2u * kFiles + 1u);
  for (int i = 0; i < kFiles; ++i) {
    ASSERT_EQ(readFile(server.root() / "in" / fileName(i)), fileBytes(i)) << fileName(i);
    ASSERT_FALSE(std::filesystem::exists(local.path() / fileName(i))) << fileName(i);
  }
  const std::string log = readFile(work.path() / "SKYHAUL.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), kFiles);
  EXPECT_EQ(log.find("NAPAKA"), std::string::npos);
  const double perFile = elapsed.count() / kFiles * 1000.0;
  std::cout << "Time per file beyond the fixed waits: " << perFile << " ms (" << kFiles
            << " files in " << elapsed.count() << " s)\n";
  ::testing::Test::RecordProperty("milliseconds_per_file", std::to_string(perFile));
}

}  // namespace
}  // namespace skyhaul::test
