// FTPS against the loopback test server in its TLS mode, which refuses any data connection
// whose TLS session was not resumed from the control connection's, like vsftpd and proftpd.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/inet/InternetSession.h"
#include "platform/inet/TestSession.h"
#include "support/TestCertificates.h"
#include "support/TestFtpServer.h"

namespace skyhaul::inet {
namespace {

using test::FtpServerOptions;
using test::FtpTls;
using test::patternBytes;
using test::testCertificates;
using test::TestFtpServer;

// A session that trusts `certificates` ("" for the system's), connected to `server` with
// `scheme` ("ftpes://" or "ftps://") in front of its address.
struct TlsSession {
  TlsSession(const TestFtpServer& server, const std::string& scheme, bool passive = true,
             const std::string& certificates = testCertificates().caCert.string(),
             const std::string& host = "127.0.0.1")
      : session("Vorn FTP Client") {
    session.setTimeouts(shortTimeouts());
    session.setTrustedCertificates(certificates);
    opened = session.open(scheme + host + ":" + std::to_string(server.port()), test::kFtpUser,
                          test::kFtpPassword, passive, connection);
  }
  InternetSession session;
  std::unique_ptr<RemoteSession> connection;
  Status opened;
};

struct Protocol {
  const char* name;
  FtpTls tls;
  const char* version;  // the only TLS version the server speaks
  bool passive;
};

void PrintTo(const Protocol& p, std::ostream* os) { *os << p.name; }

FtpServerOptions tlsServer(FtpTls tls, const std::string& version = {}) {
  FtpServerOptions options;
  options.tls = tls;
  options.tlsMin = version;
  options.tlsMax = version;
  return options;
}

class TlsRoundTrip : public ::testing::TestWithParam<Protocol> {
 protected:
  TlsRoundTrip() : server(tlsServer(GetParam().tls, GetParam().version)) {}
  std::string scheme() const { return GetParam().tls == FtpTls::Implicit ? "ftps://" : "ftpes://"; }
  TestFtpServer server;
};

// Every data connection must resume the session: the server refuses one that does not.
TEST_P(TlsRoundTrip, FilesAndListingsKeepEveryByte) {
  TlsSession ftp(server, scheme(), GetParam().passive);
  ASSERT_TRUE(succeeded(ftp.opened));
  ASSERT_NE(ftp.connection, nullptr);
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{600}, std::size_t{3 * 1024 * 1024 + 77}}) {
    std::string name = "f";  // appended: GCC 12's -Wrestrict misreads "f" + ... at -O3
    name.append(std::to_string(size));
    const std::string bytes = patternBytes(size, 3);
    ASSERT_TRUE(succeeded(uploadInChunks(*ftp.connection, name, bytes)));
    std::string back;
    ASSERT_TRUE(succeeded(downloadInChunks(*ftp.connection, name, back)));
    EXPECT_TRUE(back == bytes) << size;
  }
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  ASSERT_TRUE(succeeded(ftp.connection->findFirstFile("f*", entry, find)));
  int listed = 1;
  while (find->findNextFile(entry)) ++listed;
  EXPECT_EQ(listed, 3);
}

INSTANTIATE_TEST_SUITE_P(Versions, TlsRoundTrip,
                         ::testing::Values(Protocol{"Explicit13", FtpTls::Explicit, "1.3", true},
                                           Protocol{"Explicit12", FtpTls::Explicit, "1.2", true},
                                           Protocol{"Implicit13", FtpTls::Implicit, "1.3", true},
                                           Protocol{"Implicit12", FtpTls::Implicit, "1.2", true},
                                           Protocol{"Active13", FtpTls::Explicit, "1.3", false},
                                           Protocol{"Active12", FtpTls::Explicit, "1.2", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the server shows, what we trust and which name we ask for decide; nothing falls back to
// clear text: after a refusal not even the user name is sent.
TEST(TlsConnect, TheCertificateAndTheServerMustAgree) {
  const auto& certificates = testCertificates();
  struct Case {
    const char* name;
    std::filesystem::path serverCert, serverKey;
    std::vector<std::string> faults;
    std::string trusted;  // "" for the system's CAs
    std::string host;
    ErrorCode expected;  // Success: connected
    const char* detail;  // a part of the failure's reason
  };
  const std::string ca = certificates.caCert.string();
  for (const Case& c : std::vector<Case>{
           {"NameOfTheCertificate", {}, {}, {}, ca, "localhost", ErrorCode::Success, ""},
           {"SelfSignedTrustedAsItself",
            certificates.selfSignedCert,
            certificates.selfSignedKey,
            {},
            certificates.selfSignedCert.string(),
            "127.0.0.1",
            ErrorCode::Success,
            ""},
           {"SelfSigned",
            certificates.selfSignedCert,
            certificates.selfSignedKey,
            {},
            ca,
            "127.0.0.1",
            ErrorCode::TlsCertificateUntrusted,
            "self-signed"},
           {"UnknownCa",
            {},
            {},
            {},
            "",
            "127.0.0.1",
            ErrorCode::TlsCertificateUntrusted,
            "local issuer"},
           {"WrongName",
            certificates.wrongNameCert,
            certificates.wrongNameKey,
            {},
            ca,
            "127.0.0.1",
            ErrorCode::TlsCertificateNameMismatch,
            "mismatch"},
           {"MissingTrustFile",
            {},
            {},
            {},
            "/nonexistent.pem",
            "127.0.0.1",
            ErrorCode::TlsCertificateUntrusted,
            "/nonexistent.pem"},
           {"AuthTlsRefused",
            {},
            {},
            {"refuse:AUTH:500"},
            ca,
            "127.0.0.1",
            ErrorCode::InternetExtendedError,
            ""},
           {"ProtectionRefused",
            {},
            {},
            {"refuse:PROT:534"},
            ca,
            "127.0.0.1",
            ErrorCode::InternetExtendedError,
            ""},
       }) {
    SCOPED_TRACE(c.name);
    FtpServerOptions options = tlsServer(FtpTls::Explicit);
    options.tlsCert = c.serverCert;
    options.tlsKey = c.serverKey;
    options.faults = c.faults;
    TestFtpServer server(options);
    TlsSession ftp(server, "ftpes://", true, c.trusted, c.host);
    EXPECT_EQ(ftp.connection != nullptr, c.expected == ErrorCode::Success);
    if (c.expected == ErrorCode::Success) continue;
    EXPECT_EQ(ftp.opened.code(), c.expected);
    EXPECT_NE(ftp.opened.reason().find(c.detail), std::string::npos) << ftp.opened.reason();
    const auto commands = server.commandsOf(1);
    EXPECT_EQ(std::find(commands.begin(), commands.end(), "USER ftpjob") == commands.end(),
              c.faults.empty() || c.faults[0] != "refuse:PROT:534");
  }
}

// A server that drops the data connection mid-transfer fails that transfer only.
TEST(TlsConnect, ADroppedDataConnectionFailsItsTransferOnly) {
  TestFtpServer server(tlsServer(FtpTls::Explicit));
  test::writeFile(server.root() / "big.bin", patternBytes(1000000, 5));
  server.setFaults({"reset-data:RETR:300000:times=1"});
  TlsSession ftp(server, "ftpes://");
  ASSERT_NE(ftp.connection, nullptr);
  std::string back;
  EXPECT_FALSE(downloadInChunks(*ftp.connection, "big.bin", back));
  ASSERT_TRUE(succeeded(downloadInChunks(*ftp.connection, "big.bin", back)));
  EXPECT_TRUE(back == patternBytes(1000000, 5));
}

}  // namespace
}  // namespace skyhaul::inet
