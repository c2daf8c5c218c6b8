#include "platform/inet/ftp/DigestReplies.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/inet/ftp/ReplyParsers.h"

namespace skyhaul::inet::detail {
namespace {

using platform::DigestAlgorithm;

struct HashRow {
  const char* name;
  const char* reply;
  std::optional<std::string> algorithm;  // nothing when the reply is not understood
  std::int64_t start;
  std::int64_t end;
  const char* hex;
};

class HashReply : public testing::TestWithParam<HashRow> {};

TEST_P(HashReply, GivesAlgorithmRangeAndValue) {
  const auto& row = GetParam();
  const auto answer = parseHashReply(row.reply);
  ASSERT_EQ(answer.has_value(), row.algorithm.has_value());
  if (!answer) return;
  EXPECT_EQ(answer->algorithm, *row.algorithm);
  EXPECT_EQ(answer->start, row.start);
  EXPECT_EQ(answer->end, row.end);
  EXPECT_EQ(answer->hex, row.hex);
}

constexpr const char* kSha = "5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03";

INSTANTIATE_TEST_SUITE_P(
    Rows, HashReply,
    testing::Values(
        HashRow{"proftpd_mod_digest",
                "213-Computing SHA-256 digest\r\n213 SHA-256 0-6 "
                "5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 /a.txt\r\n",
                "SHA-256", 0, 6, kSha},
        HashRow{"sftpgo_ftpserverlib",
                "213-Computing CRC32 digest\r\n213 CRC32 0-6 363a3020 a.txt\r\n", "CRC32", 0, 6,
                "363a3020"},
        HashRow{"one_line_with_range", "213 MD5 10-20 d41d8cd98f00b204e9800998ecf8427e b c.txt\r\n",
                "MD5", 10, 20, "d41d8cd98f00b204e9800998ecf8427e"},
        HashRow{"no_range", "213 SHA-1 a9993e364706816aba3e25717850c26c9cd0d89d a.txt\r\n",
                std::nullopt, 0, 0, ""},
        HashRow{"range_not_numbers", "213 SHA-1 a-b 00 a.txt\r\n", std::nullopt, 0, 0, ""},
        HashRow{"refusal", "550 a.txt: No such file or directory\r\n", std::nullopt, 0, 0, ""},
        HashRow{"code_only", "213\r\n", std::nullopt, 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct XRow {
  const char* name;
  const char* reply;
  DigestAlgorithm algorithm;
  std::optional<std::string> hex;  // normalised; nothing when not a value of the algorithm
};

class XDigestReply : public testing::TestWithParam<XRow> {};

TEST_P(XDigestReply, GivesTheNormalisedValue) {
  const auto& row = GetParam();
  const auto value = parseXDigestReply(row.reply);
  const auto normal = value ? normalDigestHex(*value, row.algorithm) : std::nullopt;
  EXPECT_EQ(normal, row.hex);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, XDigestReply,
    testing::Values(
        XRow{"proftpd_xcrc", "250-Computing CRC32 digest\r\n250 363A3020\r\n",
             DigestAlgorithm::Crc32, "363a3020"},
        XRow{"proftpd_xsha256",
             "250-Computing SHA256 digest\r\n250 "
             "5891B5B522D5DF086D0FF0B110FBD9D21BB4FC7163AF34D08286A2E846F6BE03\r\n",
             DigestAlgorithm::Sha256, kSha},
        XRow{"sftpgo_xmd5", "250-Computing MD5 digest\r\n250 d41d8cd98f00b204e9800998ecf8427e\r\n",
             DigestAlgorithm::Md5, "d41d8cd98f00b204e9800998ecf8427e"},
        XRow{"crc_without_leading_zeros", "250 4DBF27\r\n", DigestAlgorithm::Crc32, "004dbf27"},
        XRow{"crc_with_0x", "250 0x004DBF27\r\n", DigestAlgorithm::Crc32, "004dbf27"},
        XRow{"value_then_name", "250 363A3020 a.txt\r\n", DigestAlgorithm::Crc32, "363a3020"},
        XRow{"sha1_too_short", "250 a9993e364706816aba3e\r\n", DigestAlgorithm::Sha1, std::nullopt},
        XRow{"crc_too_long", "250 1363A3020\r\n", DigestAlgorithm::Crc32, std::nullopt},
        XRow{"not_hex", "250 File checksum ok\r\n", DigestAlgorithm::Crc32, std::nullopt},
        XRow{"empty", "250 \r\n", DigestAlgorithm::Md5, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct FeatRow {
  const char* name;
  const char* feat;
  std::vector<DigestAlgorithm> hash;
  std::optional<DigestAlgorithm> selected;
  bool rang, xsha256, xsha1, xmd5, xcrc;
};

class DigestFeatures : public testing::TestWithParam<FeatRow> {};

TEST_P(DigestFeatures, AreReadFromFeat) {
  const auto& row = GetParam();
  const Features features = parseFeatReply(row.feat);
  EXPECT_EQ(features.hashAlgorithms, row.hash);
  EXPECT_EQ(features.hashSelected, row.selected);
  EXPECT_EQ(features.rang, row.rang);
  EXPECT_EQ(features.xsha256, row.xsha256);
  EXPECT_EQ(features.xsha1, row.xsha1);
  EXPECT_EQ(features.xmd5, row.xmd5);
  EXPECT_EQ(features.xcrc, row.xcrc);
}

using enum DigestAlgorithm;

INSTANTIATE_TEST_SUITE_P(
    Rows, DigestFeatures,
    testing::Values(
        FeatRow{"proftpd_mod_digest",
                "211-Features:\r\n HASH CRC32;MD5;SHA-1*;SHA-256;SHA-512;\r\n RANG STREAM\r\n"
                " XCRC\r\n XMD5\r\n XSHA\r\n XSHA1\r\n XSHA256\r\n XSHA512\r\n MD5\r\n SIZE\r\n"
                "211 End\r\n",
                {Crc32, Md5, Sha1, Sha256},
                Sha1,
                true,
                true,
                true,
                true,
                true},
        FeatRow{"test_server",
                "211-Features supported:\r\n HASH SHA-256*;SHA-1;MD5;CRC32\r\n"
                " RANG\r\n XCRC\r\n211 End FEAT.\r\n",
                {Sha256, Sha1, Md5, Crc32},
                Sha256,
                true,
                false,
                false,
                false,
                true},
        FeatRow{"lower_case_no_star",
                "211-Features:\r\n hash md5;crc32\r\n xsha256\r\n211 End\r\n",
                {Md5, Crc32},
                std::nullopt,
                false,
                true,
                false,
                false,
                false},
        FeatRow{"vsftpd_none",
                "211-Features:\r\n EPRT\r\n EPSV\r\n SIZE\r\n211 End\r\n",
                {},
                std::nullopt,
                false,
                false,
                false,
                false,
                false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::inet::detail
