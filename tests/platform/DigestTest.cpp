#include "platform/Digest.h"

#include "platform/BackgroundDigest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace skyhaul::platform {
namespace {

struct VectorRow {
  const char* name;
  DigestAlgorithm algorithm;
  std::string input;
  const char* hex;
};

// Published test vectors (FIPS 180, RFC 1321, the CRC-32 check value), and one CRC whose value
// begins with zeros.
const std::string kMillionA(1000000, 'a');
const std::string kFox = "The quick brown fox jumps over the lazy dog";

class DigestVectors : public testing::TestWithParam<VectorRow> {};

TEST_P(DigestVectors, WholeInputGivesThePublishedValue) {
  const auto& row = GetParam();
  StreamDigest digest(row.algorithm);
  digest.update(row.input.data(), row.input.size());
  EXPECT_EQ(digest.hex(), row.hex);
}

TEST_P(DigestVectors, InputInPiecesGivesTheSameValue) {
  const auto& row = GetParam();
  StreamDigest digest(row.algorithm);
  // Uneven pieces, as a transfer's blocks come.
  for (std::size_t done = 0, piece = 1; done < row.input.size(); done += piece, piece += 7) {
    piece = std::min(piece, row.input.size() - done);
    digest.update(row.input.data() + done, piece);
  }
  EXPECT_EQ(digest.hex(), row.hex);
  EXPECT_EQ(digest.hex().size(), digestHexLength(row.algorithm));
}

// The same pieces through the digest that hashes on a thread of its own; a million bytes cross
// its blocks.
TEST_P(DigestVectors, BackgroundDigestGivesTheSameValue) {
  const auto& row = GetParam();
  BackgroundDigest digest(row.algorithm);
  for (std::size_t done = 0, piece = 1; done < row.input.size(); done += piece, piece += 4099) {
    piece = std::min(piece, row.input.size() - done);
    digest.update(row.input.data() + done, piece);
  }
  EXPECT_EQ(digest.hex(), row.hex);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DigestVectors,
    testing::Values(
        VectorRow{"sha256_empty", DigestAlgorithm::Sha256, "",
                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        VectorRow{"sha256_abc", DigestAlgorithm::Sha256, "abc",
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        VectorRow{"sha256_million_a", DigestAlgorithm::Sha256, kMillionA,
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        VectorRow{"sha1_abc", DigestAlgorithm::Sha1, "abc",
                  "a9993e364706816aba3e25717850c26c9cd0d89d"},
        VectorRow{"sha1_million_a", DigestAlgorithm::Sha1, kMillionA,
                  "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        VectorRow{"md5_empty", DigestAlgorithm::Md5, "", "d41d8cd98f00b204e9800998ecf8427e"},
        VectorRow{"md5_fox", DigestAlgorithm::Md5, kFox, "9e107d9d372bb6826bd81d3542a419d6"},
        VectorRow{"crc32_empty", DigestAlgorithm::Crc32, "", "00000000"},
        VectorRow{"crc32_check_value", DigestAlgorithm::Crc32, "123456789", "cbf43926"},
        VectorRow{"crc32_leading_zeros", DigestAlgorithm::Crc32, "skyhaul 15", "004dbf27"},
        VectorRow{"crc32_fox", DigestAlgorithm::Crc32, kFox, "414fa339"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Digest, HexCanBeAskedMidwayAndTheDigestGoesOn) {
  StreamDigest digest(DigestAlgorithm::Sha256);
  digest.update("ab", 2);
  const std::string midway = digest.hex();
  digest.update("c", 1);
  EXPECT_NE(midway, digest.hex());
  EXPECT_EQ(digest.hex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Many blocks, more than the thread may fall behind by, asked midway and at the end.
TEST(Digest, BackgroundDigestAgreesAcrossManyBlocksAndMidway) {
  std::string input(9 * 1024 * 1024 + 77, '\0');
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>(i * 131 % 251);
  StreamDigest plain(DigestAlgorithm::Sha1);
  BackgroundDigest background(DigestAlgorithm::Sha1);
  const std::size_t half = input.size() / 2;
  plain.update(input.data(), half);
  background.update(input.data(), half);
  EXPECT_EQ(background.hex(), plain.hex());
  plain.update(input.data() + half, input.size() - half);
  for (std::size_t done = half; done < input.size(); done += 16320) {
    background.update(input.data() + done, std::min<std::size_t>(16320, input.size() - done));
  }
  EXPECT_EQ(background.hex(), plain.hex());
}

TEST(Digest, NamesAreTheHashCommandsInAnyCase) {
  for (const auto algorithm : {DigestAlgorithm::Sha256, DigestAlgorithm::Sha1, DigestAlgorithm::Md5,
                               DigestAlgorithm::Crc32}) {
    EXPECT_EQ(digestNamed(digestName(algorithm)), algorithm) << digestName(algorithm);
  }
  EXPECT_EQ(digestNamed("sha-256"), DigestAlgorithm::Sha256);
  EXPECT_EQ(digestNamed("crc32"), DigestAlgorithm::Crc32);
  EXPECT_EQ(digestNamed("SHA-512"), std::nullopt);
  EXPECT_EQ(digestNamed("SHA-25"), std::nullopt);
}

}  // namespace
}  // namespace skyhaul::platform
