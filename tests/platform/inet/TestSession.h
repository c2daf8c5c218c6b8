#pragma once
// Connecting the library to the loopback test server, with waits short enough for tests.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/inet/InternetSession.h"
#include "platform/inet/ftp/FtpConnection.h"
#include "support/TestFtpServer.h"

namespace skyhaul::inet {

// Long enough for a loaded machine, short enough that a stall test ends soon.
inline Timeouts shortTimeouts() {
  using std::chrono::milliseconds;
  return Timeouts{milliseconds(5000), milliseconds(1500), milliseconds(1500)};
}

// One test server for all the tests of a suite, which leave it as they found it.
template <typename Suite, typename Base = ::testing::Test>
class SharedServer : public Base {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<test::TestFtpServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  static inline std::unique_ptr<test::TestFtpServer> server_;
};

// A session and one logged-in connection to `server`.
struct FtpTestSession {
  explicit FtpTestSession(const test::TestFtpServer& server, bool passive = true,
                          Timeouts timeouts = shortTimeouts())
      : session("Vorn FTP Client") {
    session.setTimeouts(timeouts);
    connection = session.connect(server.address(), 0, test::kFtpUser, test::kFtpPassword, passive);
    EXPECT_NE(connection, nullptr)
        << "connect failed: " << lastError() << " " << lastResponseInfo();
  }

  InternetSession session;
  std::unique_ptr<FtpConnection> connection;
};

// Uploads `bytes` through openFile/write/close in chunks of `chunk` bytes.
inline bool uploadInChunks(FtpConnection& connection, const std::string& remote,
                           const std::string& bytes, std::size_t chunk = 255) {
  auto file = connection.openFile(remote, FileAccess::Write, TransferType::Binary);
  if (!file) return false;
  for (std::size_t done = 0; done < bytes.size(); done += chunk) {
    if (!file->write(bytes.data() + done, std::min(chunk, bytes.size() - done))) return false;
  }
  return file->close();
}

// Downloads through openFile/read/close in chunks of `chunk` bytes; false on any failure.
inline bool downloadInChunks(FtpConnection& connection, const std::string& remote,
                             std::string& bytes, std::size_t chunk = 255) {
  auto file = connection.openFile(remote, FileAccess::Read, TransferType::Binary);
  if (!file) return false;
  bytes.clear();
  std::string buffer(chunk, '\0');
  while (true) {
    std::size_t got = 0;
    if (!file->read(buffer.data(), chunk, got)) return false;
    if (got == 0) break;
    bytes.append(buffer.data(), got);
  }
  return file->close();
}

}  // namespace skyhaul::inet
