// Digests the loopback server computes, asked through HASH and through the X commands.

#include "platform/inet/ftp/Digests.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/Digest.h"
#include "platform/inet/TestSession.h"
#include "support/TestProftpd.h"

namespace skyhaul::inet::detail {
namespace {

using platform::DigestAlgorithm;
using platform::StreamDigest;
using std::chrono::milliseconds;

// A logged-in connection of the library's own to the server on 127.0.0.1:`port`, as the
// client's steps get it.
std::unique_ptr<Connection> logIn(int port) {
  SocketAddress address;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
  v4->sin_family = AF_INET;
  inet_pton(AF_INET, "127.0.0.1", &v4->sin_addr);
  address.length = sizeof(sockaddr_in);
  address.setPort(static_cast<std::uint16_t>(port));
  Socket socket;
  if (!connectSocket(address, shortTimeouts().connect, false, socket)) return nullptr;
  auto connection = std::make_unique<Connection>(Control(std::move(socket), shortTimeouts()), true);
  if (!connection->logIn(test::kFtpUser, test::kFtpPassword)) return nullptr;
  return connection;
}

std::string digestOf(DigestAlgorithm algorithm, const std::string& bytes) {
  StreamDigest digest(algorithm);
  digest.update(bytes.data(), bytes.size());
  return digest.hex();
}

// Bytes no digest of a shorter or shifted piece could match by chance.
std::string sampleBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + i / 251) % 256);
  return bytes;
}

std::size_t countSent(const std::vector<std::string>& commands, const std::string& prefix) {
  return static_cast<std::size_t>(std::ranges::count_if(commands, [&](const std::string& line) {
    const auto blank = line.find(' ');
    return blank != std::string::npos && line.compare(blank + 1, prefix.size(), prefix) == 0;
  }));
}

class ServerDigests : public SharedServer<ServerDigests> {
 protected:
  void SetUp() override {
    bytes_ = sampleBytes(100000);
    test::writeFile(server_->root() / "sample.bin", bytes_);
    server_->clearCommands();
  }
  void TearDown() override { server_->setFaults({}); }

  // Connects with `faults` in force, so FEAT announces what they offer.
  std::unique_ptr<Connection> connectWith(const std::vector<std::string>& faults) {
    server_->setFaults(faults);
    auto connection = logIn(server_->port());
    EXPECT_NE(connection, nullptr);
    return connection;
  }

  std::string bytes_;
};

struct WayRow {
  const char* name;
  const char* offer;  // the fault line that makes the server offer it
  DigestAlgorithm algorithm;
  const char* command;  // what goes on the wire
};

class DigestWays : public ServerDigests, public testing::WithParamInterface<WayRow> {};

TEST_P(DigestWays, TheServersDigestIsThatOfTheBytes) {
  const auto& row = GetParam();
  auto connection = connectWith({row.offer});
  ASSERT_NE(connection, nullptr);
  std::string hex;
  // Twice: the algorithm is selected only once.
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(askDigest(*connection, "/sample.bin", row.algorithm, std::nullopt,
                          milliseconds(5000), hex));
    EXPECT_EQ(hex, digestOf(row.algorithm, bytes_));
  }
  const auto commands = server_->commands();
  EXPECT_EQ(countSent(commands, std::string(row.command) + " /sample.bin"), 2u);
  const bool selects =
      std::string(row.command) == "HASH" && row.algorithm != DigestAlgorithm::Sha256;
  EXPECT_EQ(countSent(commands, "OPTS HASH"), selects ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DigestWays,
    testing::Values(WayRow{"hash_sha256", "digests:HASH", DigestAlgorithm::Sha256, "HASH"},
                    WayRow{"hash_sha1", "digests:HASH", DigestAlgorithm::Sha1, "HASH"},
                    WayRow{"hash_md5", "digests:HASH", DigestAlgorithm::Md5, "HASH"},
                    WayRow{"hash_crc32", "digests:HASH", DigestAlgorithm::Crc32, "HASH"},
                    WayRow{"xsha256", "digests:XSHA256", DigestAlgorithm::Sha256, "XSHA256"},
                    WayRow{"xsha1", "digests:XSHA1", DigestAlgorithm::Sha1, "XSHA1"},
                    WayRow{"xmd5", "digests:XMD5", DigestAlgorithm::Md5, "XMD5"},
                    WayRow{"xcrc", "digests:XCRC", DigestAlgorithm::Crc32, "XCRC"},
                    WayRow{"hash_before_x", "digests:HASH,XCRC", DigestAlgorithm::Crc32, "HASH"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerDigests, ARangeIsAskedWithRangOrAsTheXCommandsArguments) {
  const ByteRange range{1000, 4999};
  const std::string part = bytes_.substr(1000, 4000);
  for (const char* offer : {"digests:HASH", "digests:XSHA1"}) {
    auto connection = connectWith({offer});
    ASSERT_NE(connection, nullptr);
    std::string hex;
    ASSERT_TRUE(askDigest(*connection, "/sample.bin", DigestAlgorithm::Sha1, range,
                          milliseconds(5000), hex))
        << offer;
    EXPECT_EQ(hex, digestOf(DigestAlgorithm::Sha1, part)) << offer;
    // The range is spent: the next digest is the whole file's.
    ASSERT_TRUE(askDigest(*connection, "/sample.bin", DigestAlgorithm::Sha1, std::nullopt,
                          milliseconds(5000), hex));
    EXPECT_EQ(hex, digestOf(DigestAlgorithm::Sha1, bytes_)) << offer;
  }
  const auto commands = server_->commands();
  EXPECT_EQ(countSent(commands, "RANG 1000 4999"), 1u);
  EXPECT_EQ(countSent(commands, "XSHA1 /sample.bin 1000 5000"), 1u);
}

// A server whose HASH does not take RANG answers for the whole file: that is no digest of the
// range, even where both start at 0, and the range it kept is reset.
TEST_F(ServerDigests, AHashForAnotherRangeIsNoDigestOfTheRangeAsked) {
  for (const ByteRange& range : {ByteRange{0, 4999}, ByteRange{1000, 4999}}) {
    auto connection = connectWith({"digests:HASH", "rang-ignored"});
    ASSERT_NE(connection, nullptr);
    server_->clearCommands();
    std::string hex = "untouched";
    const Status status = askDigest(*connection, "/sample.bin", DigestAlgorithm::Sha256, range,
                                    milliseconds(5000), hex);
    EXPECT_EQ(status.code(), ErrorCode::FtpDigestMalformed) << range.first;
    EXPECT_EQ(hex, "untouched") << range.first;
    EXPECT_EQ(countSent(server_->commands(), "RANG 1 0"), 1u) << range.first;
  }
}

TEST_F(ServerDigests, AWrongDigestHasTheRightFormAndDiffersFromTheBytes) {
  for (const char* offer : {"digests:HASH", "digests:XCRC"}) {
    auto connection = connectWith({offer, "digest-wrong"});
    ASSERT_NE(connection, nullptr);
    const auto algorithm = strongestDigest(connection->features())->algorithm;
    std::string hex;
    ASSERT_TRUE(
        askDigest(*connection, "/sample.bin", algorithm, std::nullopt, milliseconds(5000), hex))
        << offer;
    EXPECT_EQ(hex.size(), platform::digestHexLength(algorithm));
    EXPECT_NE(hex, digestOf(algorithm, bytes_)) << offer;
  }
}

TEST_F(ServerDigests, ASlowDigestArrivesWithinAScaledTimeoutAndNotWithinAShortOne) {
  // Longer than one reply's deadline (1.5 s here), with "213-" lines every second meanwhile.
  auto connection = connectWith({"digests:HASH", "digest-slow:2.5"});
  ASSERT_NE(connection, nullptr);
  std::string hex;
  ASSERT_TRUE(askDigest(*connection, "/sample.bin", DigestAlgorithm::Sha256, std::nullopt,
                        milliseconds(10000), hex));
  EXPECT_EQ(hex, digestOf(DigestAlgorithm::Sha256, bytes_));

  const Status late = askDigest(*connection, "/sample.bin", DigestAlgorithm::Sha256, std::nullopt,
                                milliseconds(1200), hex);
  EXPECT_EQ(late.code(), ErrorCode::InternetTimeout);
  EXPECT_FALSE(connection->control().isAlive());
}

TEST_F(ServerDigests, WhatIsNotOfferedOrNotComputedFailsWithItsOwnCode) {
  struct Case {
    const char* name;
    std::vector<std::string> faults;
    DigestAlgorithm algorithm;
    const char* path;
    ErrorCode code;
  };
  for (const Case& c : {
           Case{"none_offered",
                {},
                DigestAlgorithm::Sha256,
                "/sample.bin",
                ErrorCode::DigestNotOffered},
           Case{"other_algorithm",
                {"digests:XCRC"},
                DigestAlgorithm::Md5,
                "/sample.bin",
                ErrorCode::DigestNotOffered},
           Case{"missing_file_hash",
                {"digests:HASH"},
                DigestAlgorithm::Sha256,
                "/nosuch.bin",
                ErrorCode::FtpDigestRefused},
           Case{"missing_file_x",
                {"digests:XCRC"},
                DigestAlgorithm::Crc32,
                "/nosuch.bin",
                ErrorCode::FtpDigestRefused},
           Case{"hash_refused",
                {"digests:HASH", "refuse:HASH:504"},
                DigestAlgorithm::Sha256,
                "/sample.bin",
                ErrorCode::FtpDigestRefused},
           Case{"algorithm_refused",
                {"digests:HASH", "refuse:OPTS:501"},
                DigestAlgorithm::Md5,
                "/sample.bin",
                ErrorCode::FtpDigestRefused},
       }) {
    auto connection = connectWith(c.faults);
    ASSERT_NE(connection, nullptr) << c.name;
    std::string hex = "untouched";
    const Status status =
        askDigest(*connection, c.path, c.algorithm, std::nullopt, milliseconds(5000), hex);
    EXPECT_EQ(status.code(), c.code) << c.name;
    EXPECT_EQ(hex, "untouched") << c.name;
    EXPECT_TRUE(connection->control().isAlive()) << c.name;
  }
}

TEST_F(ServerDigests, TheStrongestOfferedIsChosenAndHashBeforeAnXCommand) {
  struct Case {
    const char* offer;
    DigestAlgorithm algorithm;
    bool hash;
  };
  for (const Case& c : {Case{"digests:XCRC,XMD5", DigestAlgorithm::Md5, false},
                        Case{"digests:XCRC,XSHA256", DigestAlgorithm::Sha256, false},
                        Case{"digests:HASH,XSHA256", DigestAlgorithm::Sha256, true}}) {
    auto connection = connectWith({c.offer});
    ASSERT_NE(connection, nullptr);
    const auto strongest = strongestDigest(connection->features());
    ASSERT_TRUE(strongest.has_value()) << c.offer;
    EXPECT_EQ(strongest->algorithm, c.algorithm) << c.offer;
    EXPECT_EQ(strongest->hash, c.hash) << c.offer;
  }
  auto plain = connectWith({});
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(strongestDigest(plain->features()).has_value());
}

// Debian's proftpd with mod_digest: its FEAT is read as it means it, the strongest digest is
// chosen, each algorithm's digest is that of the bytes, and its HASH, which does not take RANG,
// gives no digest of a range.
TEST(ProftpdDigests, TheRealServersOfferIsReadAndItsDigestsAreThoseOfTheBytes) {
  if (const auto why = test::TestProftpd::unavailable(); !why.empty()) GTEST_SKIP() << why;
  const test::TestProftpd server;
  const std::string bytes = sampleBytes(100000);
  test::writeFile(server.root() / "sample.bin", bytes);
  auto connection = logIn(server.port());
  ASSERT_NE(connection, nullptr) << server.log();
  using enum DigestAlgorithm;
  const Features& features = connection->features();
  EXPECT_EQ(features.hashAlgorithms, (std::vector<DigestAlgorithm>{Crc32, Md5, Sha1, Sha256}));
  EXPECT_EQ(features.hashSelected, Sha1);
  EXPECT_TRUE(features.rang && features.xsha256 && features.xsha1 && features.xmd5 &&
              features.xcrc);
  const auto strongest = strongestDigest(features);
  ASSERT_TRUE(strongest.has_value());
  EXPECT_EQ(strongest->algorithm, Sha256);
  EXPECT_TRUE(strongest->hash);

  for (const DigestAlgorithm algorithm : {Sha256, Sha1, Md5, Crc32}) {
    std::string hex;
    ASSERT_TRUE(
        askDigest(*connection, "/sample.bin", algorithm, std::nullopt, milliseconds(5000), hex))
        << platform::digestName(algorithm) << server.log();
    EXPECT_EQ(hex, digestOf(algorithm, bytes)) << platform::digestName(algorithm);
  }
  // proftpd takes RANG in binary mode only, as the client's transfers are.
  Reply binary;
  ASSERT_TRUE(connection->control().command("TYPE I", binary));
  std::string hex = "untouched";
  const Status ranged =
      askDigest(*connection, "/sample.bin", Sha256, ByteRange{0, 4999}, milliseconds(5000), hex);
  EXPECT_EQ(ranged.code(), ErrorCode::FtpDigestMalformed);
  EXPECT_EQ(hex, "untouched");
  EXPECT_TRUE(server.waitForCommand("RANG 1 0"));
}

}  // namespace
}  // namespace skyhaul::inet::detail
