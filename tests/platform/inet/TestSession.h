#pragma once
// Connecting the library to the loopback test server, with waits short enough for tests.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/inet/InternetSession.h"
#include "support/TestFtpServer.h"

namespace skyhaul::inet {

// Long enough for a loaded machine, short enough that a stall test ends soon.
inline Timeouts shortTimeouts() {
  using std::chrono::milliseconds;
  return Timeouts{milliseconds(5000), milliseconds(1500), milliseconds(1500)};
}

// For assertions: a success, or the failure with its code, reason and the server's reply.
inline testing::AssertionResult succeeded(const Status& status) {
  if (status) return testing::AssertionSuccess();
  return testing::AssertionFailure() << status;
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
    const Status opened =
        session.open(server.address(), test::kFtpUser, test::kFtpPassword, passive, connection);
    EXPECT_TRUE(opened) << "connect failed: " << opened;
  }

  InternetSession session;
  std::unique_ptr<RemoteSession> connection;
};

// Opens `remote` for a streamed transfer from its start; null on failure, which `status` holds.
inline std::unique_ptr<RemoteStream> openFile(RemoteSession& connection, const std::string& remote,
                                              FileAccess access, TransferType type,
                                              Status* status = nullptr) {
  std::unique_ptr<RemoteStream> file;
  Status opened = connection.openStream(remote, access, type, 0, file);
  if (status != nullptr) *status = std::move(opened);
  return file;
}

// Uploads `bytes` through openStream/write/close in chunks of `chunk` bytes.
inline Status uploadInChunks(RemoteSession& connection, const std::string& remote,
                             const std::string& bytes, std::size_t chunk = 255) {
  std::unique_ptr<RemoteStream> file;
  if (Status opened =
          connection.openStream(remote, FileAccess::Write, TransferType::Binary, 0, file);
      !opened) {
    return opened;
  }
  for (std::size_t done = 0; done < bytes.size(); done += chunk) {
    Status written = file->write(bytes.data() + done, std::min(chunk, bytes.size() - done));
    if (!written) return written;
  }
  return file->close();
}

// Downloads through openStream/read/close in chunks of `chunk` bytes.
inline Status downloadInChunks(RemoteSession& connection, const std::string& remote,
                               std::string& bytes, std::size_t chunk = 255) {
  std::unique_ptr<RemoteStream> file;
  if (Status opened =
          connection.openStream(remote, FileAccess::Read, TransferType::Binary, 0, file);
      !opened) {
    return opened;
  }
  bytes.clear();
  std::string buffer(chunk, '\0');
  while (true) {
    std::size_t got = 0;
    if (Status read = file->read(buffer.data(), chunk, got); !read) return read;
    if (got == 0) break;
    bytes.append(buffer.data(), got);
  }
  return file->close();
}

}  // namespace skyhaul::inet
