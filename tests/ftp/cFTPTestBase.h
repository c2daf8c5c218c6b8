#pragma once
// A cFTP connected to the loopback test server, with its events recorded and a clock whose
// waits cost nothing.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ftp/cFTP.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {

class RecordingEvents final : public ftp::cFTPEvents {
 public:
  void FileTransferProgress(const std::int64_t& current, const std::int64_t& total) override {
    progress.emplace_back(current, total);
  }
  void yield() override { ++yields; }
  void setLabel11(const std::string& text) override { label11.push_back(text); }

  std::vector<std::pair<std::int64_t, std::int64_t>> progress;
  std::vector<std::string> label11;
  int yields = 0;
};

class cFTPTest : public ::testing::Test {
 protected:
  explicit cFTPTest(FtpServerOptions options = {}) : server(std::move(options)) {
    inet::setDefaultTimeouts({std::chrono::milliseconds(3000), std::chrono::milliseconds(3000),
                              std::chrono::milliseconds(3000)});
    ftp = std::make_unique<ftp::cFTP>(clock);
    ftp->setEvents(&events);
    ftp->SetModePassive();
    ftp->SetTransferBinary();
  }

  bool connect() { return ftp->OpenConnection(server.address(), kFtpUser, kFtpPassword); }
  std::filesystem::path remote(const std::string& name) const { return server.root() / name; }
  std::string local(const std::string& name) const { return folder.prefix() + name; }

  TestFtpServer server;
  TempDir folder;
  FakeClock clock;
  RecordingEvents events;
  std::unique_ptr<ftp::cFTP> ftp;
};

// The progress events a file of `size` bytes raises: one per full 255-byte chunk, then the
// final one.
inline std::vector<std::pair<std::int64_t, std::int64_t>> expectedEvents(std::int64_t size) {
  std::vector<std::pair<std::int64_t, std::int64_t>> events;
  for (std::int64_t sent = 255; sent <= size; sent += 255) events.emplace_back(sent, size);
  events.emplace_back(size, size);
  return events;
}

}  // namespace skyhaul::test
