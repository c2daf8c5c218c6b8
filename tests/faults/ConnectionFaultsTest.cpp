// The connection at the start of the job cannot be had: the job skips its transfers, still
// runs its follow-up programs and ends with status 4, touching no source, and says why on the
// console, naming the server. And a server that goes away between two attempts and is back for the
// next.
#include <gtest/gtest.h>

#include "faults/ConcurrentCases.h"
#include "support/TestCertificates.h"

namespace skyhaul::test {
namespace {

constexpr const char* kCannotConnect = "Povezave s strežnikom ni bilo mogoče vzpostaviti.";
constexpr const char* kNotResolved = "Imena strežnika ni bilo mogoče razrešiti.";
constexpr const char* kTimedOut = "Čas za operacijo je potekel.";

struct NoConnection {
  const char* name;
  const char* fault;   // a fault of the test server, or "" for none
  const char* server;  // FTPURL; "" for the test server
  bool serverGone;     // the test server is stopped before the run: nothing listens
  const char* cause;   // what the console must say
  // How the console names the server; for "" the test server, else `server` on port 21.
  const char* described = "";
};

Case noConnectionCase(const NoConnection& row, const FtpServerOptions& server = {}) {
  Case c;
  c.name = row.name;
  c.server = server;
  c.prepare = [row](Scene& scene) {
    scene.writeSettings(scene.markerFollowUp());
    if (*row.server != '\0') {
      scene.writeIni(jobSettings(row.server, scene.local.prefix()) + scene.markerFollowUp());
    }
    writeFile(scene.localFile("f.txt"), "stays");
    writeFile(scene.remote("g.txt"), "stays too");
    if (*row.fault != '\0') scene.server.setFaults({row.fault});
    if (row.serverGone) scene.server.stop();
    return std::vector<std::string>{"f.txt,UP,DEL"};
  };
  c.check = [row](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.exitStatus, kConnectionFailed) << outcome.errors;
    EXPECT_EQ(readFile(scene.localFile("f.txt")), "stays");
    EXPECT_EQ(readFile(scene.remote("g.txt")), "stays too");
    EXPECT_FALSE(std::filesystem::exists(scene.remote("f.txt")));
    EXPECT_EQ(scene.logText(), "");
    EXPECT_TRUE(statusesOf(outcome.errors, "f.txt").empty()) << outcome.errors;
    EXPECT_TRUE(appears(scene.markerPath())) << "the follow-up program did not run";
    // Nothing was moved, and the operator must see why.
    EXPECT_NE(outcome.errors.find(row.cause), std::string::npos)
        << "the console does not say why nothing was moved; it wrote:\n"
        << outcome.errors;
    EXPECT_EQ(outcome.errors.find(kFtpPassword), std::string::npos) << "the password is shown";
    const std::string server = *row.described != '\0' ? std::string(row.described)
                               : *row.server != '\0'  ? std::string(row.server) + ":21"
                                                      : scene.server.address();
    EXPECT_NE(outcome.errors.find("strežnikom " + server + " ni bilo mogoče odpreti: "),
              std::string::npos)
        << outcome.errors;
  };
  const std::string fault = row.fault;
  if (fault.starts_with("stall") || fault.starts_with("trickle")) {
    c.options.environment = {"SKYHAUL_TIMEOUT=2"};
  }
  return c;
}

TEST(ConnectionFaults, NoConnectionAtTheStart) {
  std::vector<Case> cases;
  for (const NoConnection& row : {
           NoConnection{"LoginRefused", "refuse-login", "", false, "530"},
           NoConnection{"NameNotResolved", "", "no-such-host.invalid", false, kNotResolved},
           // Named as host and port, SFTP's by default, however the settings write it.
           NoConnection{"SftpNameNotResolved", "", "SFTP://no-such-host.invalid", false,
                        kNotResolved, "no-such-host.invalid:22"},
           NoConnection{"ConnectionRefusedByTheServer", "refuse-connect:421", "", false, "421"},
           NoConnection{"NothingListens", "", "", true, kCannotConnect},
           NoConnection{"LoginStalls", "stall:PASS", "", false, kTimedOut},
           // One byte every half second: each wait is short, the reply never complete.
           NoConnection{"GreetingTrickles", "trickle:GREETING:0.5", "", false, kTimedOut},
           NoConnection{"FeaturesTrickle", "trickle:FEAT:0.5", "", false, kTimedOut},
           NoConnection{"PasswordQuotedBack", "echo-password:530", "", false, "530 Password ****"},
       }) {
    cases.push_back(noConnectionCase(row));
  }
  runConcurrently(cases);
}

// Over FTPS a certificate we do not trust, one for another name, and a server that will not
// speak TLS end the start the same way; nothing falls back to clear text.
TEST(ConnectionFaults, NoFtpsConnectionAtTheStart) {
  const auto& certificates = testCertificates();
  struct Row {
    NoConnection row;
    std::filesystem::path cert;
    std::filesystem::path key;
  };
  std::vector<Case> cases;
  for (const Row& r : {
           Row{{"CertificateNotTrusted", "", "", false, "12045"},
               certificates.selfSignedCert,
               certificates.selfSignedKey},
           Row{{"CertificateForAnotherName", "", "", false, "12038"},
               certificates.wrongNameCert,
               certificates.wrongNameKey},
           Row{{"AuthTlsRefused", "refuse:AUTH:500", "", false, "500"}, {}, {}},
       }) {
    FtpServerOptions server;
    server.tls = FtpTls::Explicit;
    server.tlsCert = r.cert;
    server.tlsKey = r.key;
    cases.push_back(noConnectionCase(r.row, server));
  }
  runConcurrently(cases);
}

// The first attempt fails; the server is gone for the reconnection and the second attempt,
// and back on its port for the second reconnection, so the third attempt moves the file.
TEST(ConnectionFaults, ServerGoneBetweenAttemptsAndBackForTheLast) {
  Scene scene;
  scene.writeSettings();
  const std::string bytes = patternBytes(5000, 3);
  writeFile(scene.localFile("f.bin"), bytes);
  scene.server.setFaults({"refuse:STOR:550:times=1"});
  const auto wait = std::chrono::seconds(20);

  auto run = scene.start({"f.bin,UP,DEL"});
  ASSERT_TRUE(run->waitForErrors("f.bin: 550", wait)) << run->errors();
  scene.server.setFaults({});  // a new server process would count the fault afresh
  scene.server.stop();
  // The second attempt follows this status at once, and fails without a connection.
  ASSERT_TRUE(run->waitForErrors(std::string("f.bin: ") + kUploading, wait, 2)) << run->errors();
  scene.server.start();
  const RunOutcome outcome = run->finish();

  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_EQ(readFile(scene.remote("f.bin")), bytes);
  EXPECT_FALSE(std::filesystem::exists(scene.localFile("f.bin")));
  const auto statuses = statusesOf(outcome.errors, "f.bin");
  ASSERT_EQ(statuses.size(), 6u) << outcome.errors;
  EXPECT_EQ(statuses[1], "550 Refused by the test server.");
  EXPECT_EQ(statuses[5], kDone);
  const auto log = scene.logLines();
  ASSERT_EQ(log.size(), 1u) << scene.logText();
  EXPECT_TRUE(isSuccessLine(log[0], scene.localPath("f.bin"), scene.remotePath("f.bin")));
}

}  // namespace
}  // namespace skyhaul::test
