// On a slow link the progress events follow the bytes as they arrive: a chunk's event is never
// long behind its last byte, however many chunks the block it came in was meant to hold.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <utility>
#include <vector>

#include "ftp/cFTPTestBase.h"

namespace skyhaul::test {
namespace {

using Seconds = std::chrono::duration<double>;

double monotonicNow() {
  return Seconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Each event with the time (CLOCK_MONOTONIC, as the server's) at which it was raised.
class TimedEvents final : public ftp::cFTPEvents {
 public:
  void FileTransferProgress(const std::int64_t& current, const std::int64_t&) override {
    events.emplace_back(current, monotonicNow());
  }
  void yield() override {}
  void setLabel11(const std::string&) override {}

  std::vector<std::pair<std::int64_t, double>> events;
};

// "<time> <bytes sent so far>" lines of the throttled server.
std::vector<std::pair<double, std::int64_t>> sendTimes(const std::filesystem::path& file) {
  std::vector<std::pair<double, std::int64_t>> times;
  std::ifstream in(file);
  double at = 0;
  std::int64_t bytes = 0;
  while (in >> at >> bytes) times.emplace_back(at, bytes);
  return times;
}

// When the server had sent the first `bytes` bytes; on loopback they arrive then.
double sentAt(const std::vector<std::pair<double, std::int64_t>>& times, std::int64_t bytes) {
  for (const auto& [at, sent] : times) {
    if (sent >= bytes) return at;
  }
  return times.empty() ? 0 : times.back().first;
}

class cFTPProgressPace : public cFTPTest {
 protected:
  cFTPProgressPace() : cFTPTest(FtpServerOptions{{"throttle-data:RETR:2000:" + timesFile()}}) {}
  // Outside the served root, made before the server starts.
  static std::string timesFile() {
    static TempDir times;
    return (times.path() / "sent").string();
  }
};

TEST_F(cFTPProgressPace, EachEventFollowsItsBytesOnASlowLink) {
  constexpr std::int64_t kSize = 8000;  // four seconds at 2,000 B/s, under one block of chunks
  // The events themselves are due within a fraction of a second; the margin is for a busy
  // machine, and still far below the seconds a whole block of a slow link takes.
  constexpr double kBound = 1.0;
  writeFile(remote("slow.bin"), patternBytes(kSize, 5));
  TimedEvents timed;
  ftp->setEvents(&timed);
  ASSERT_TRUE(connect());
  std::string sLocal = local("slow.bin");
  std::string sRemote = "slow.bin";

  ASSERT_TRUE(ftp->FTPDownloadFile(sLocal, sRemote)) << ftp->GetLastErrorMessage();

  EXPECT_EQ(readFile(local("slow.bin")), patternBytes(kSize, 5));
  const auto times = sendTimes(timesFile());
  ASSERT_GT(times.size(), 20U);  // it was sent in pieces, slowly
  ASSERT_EQ(timed.events.size(), static_cast<std::size_t>(kSize / 255 + 1));
  for (std::size_t i = 0; i < timed.events.size(); ++i) {
    const auto [bytes, raised] = timed.events[i];
    EXPECT_EQ(bytes, i + 1 < timed.events.size() ? static_cast<std::int64_t>(i + 1) * 255 : kSize);
    EXPECT_LT(raised - sentAt(times, bytes), kBound) << "event for " << bytes << " bytes";
  }
}

}  // namespace
}  // namespace skyhaul::test
