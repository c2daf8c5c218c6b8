// A sparse local file of 2.5 GiB goes up with DEL and comes back down with DEL, byte-exactly,
// through the real binary: sizes and offsets past what 32 bits hold, some ten million chunks
// of 255 bytes each way. Slow (gigabytes through the loopback twice), hence "Slow" in its name,
// which gives it the ctest label "slow".
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "faults/Scene.h"

namespace skyhaul::test {
namespace {

constexpr std::int64_t kSize = 2684354560;  // 2.5 GiB
constexpr std::int64_t kBlock = 1 << 20;

struct Marker {
  std::int64_t offset;
  std::size_t size;
  unsigned seed;
};

// Data at the start, across the 2 GiB boundary of 32-bit sizes, and at the end; holes between.
constexpr std::array<Marker, 4> kMarkers{{
    {0, 4096, 1},
    {(std::int64_t{1} << 30) + 7, 1000, 2},
    {(std::int64_t{1} << 31) - 100, 200, 3},
    {kSize - 777, 777, 4},
}};

void writeSparseFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, kSize), 0);
  for (const Marker& marker : kMarkers) {
    const std::string bytes = patternBytes(marker.size, marker.seed);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), marker.offset),
              static_cast<ssize_t>(bytes.size()));
  }
  ASSERT_EQ(::close(fd), 0);
}

// The expected bytes of one block of the sparse file.
void expectedBlock(std::int64_t offset, std::string& block) {
  std::fill(block.begin(), block.end(), '\0');
  for (const Marker& marker : kMarkers) {
    const std::string bytes = patternBytes(marker.size, marker.seed);
    const std::int64_t from = std::max(offset, marker.offset);
    const std::int64_t to = std::min<std::int64_t>(offset + static_cast<std::int64_t>(block.size()),
                                                   marker.offset + marker.size);
    for (std::int64_t at = from; at < to; ++at) block[at - offset] = bytes[at - marker.offset];
  }
}

// Reads the whole file and compares it with the sparse file's bytes.
::testing::AssertionResult holdsTheSparseBytes(const std::filesystem::path& path) {
  if (!std::filesystem::is_regular_file(path)) return ::testing::AssertionFailure() << "no file";
  if (std::filesystem::file_size(path) != static_cast<std::uintmax_t>(kSize)) {
    return ::testing::AssertionFailure() << "size " << std::filesystem::file_size(path);
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::string got(kBlock, '\0');
  std::string want(kBlock, '\0');
  for (std::int64_t offset = 0; offset < kSize; offset += kBlock) {
    const auto size = static_cast<std::size_t>(std::min(kBlock, kSize - offset));
    got.resize(size);
    want.resize(size);
    if (::pread(fd, got.data(), size, offset) != static_cast<ssize_t>(size)) break;
    expectedBlock(offset, want);
    if (got != want) {
      ::close(fd);
      return ::testing::AssertionFailure() << "differs in the block at " << offset;
    }
  }
  ::close(fd);
  return ::testing::AssertionSuccess();
}

TEST(LargeFiles, SlowSparseFileOf2Point5GiBUpAndDownAgain) {
  Scene scene;
  std::filesystem::create_directory(scene.local.path() / "back");
  writeSparseFile(scene.localFile("big.bin"));
  RunOptions options;
  options.limit = std::chrono::minutes(30);
  options.environment = {"SKYHAUL_TIMEOUT=60"};

  scene.writeSettings();
  const RunOutcome up = scene.start({"big.bin,UP,DEL"}, options)->finish();
  ASSERT_EQ(up.exitStatus, kCompleted) << up.errors;
  EXPECT_TRUE(holdsTheSparseBytes(scene.remote("big.bin")));
  EXPECT_FALSE(std::filesystem::exists(scene.localFile("big.bin")));

  scene.writeSettings({}, "in/", scene.local.prefix() + "back/");
  const RunOutcome down = scene.start({"big.bin,DOWN,DEL"}, options)->finish();
  ASSERT_EQ(down.exitStatus, kCompleted) << down.errors;
  EXPECT_TRUE(holdsTheSparseBytes(scene.local.path() / "back/big.bin"));
  EXPECT_FALSE(std::filesystem::exists(scene.remote("big.bin")));
  EXPECT_EQ(scene.logLines().size(), 2u) << scene.logText();
  std::cout << "Up " << up.elapsed.count() / 1000.0 << " s, down " << down.elapsed.count() / 1000.0
            << " s\n";
}

}  // namespace
}  // namespace skyhaul::test
