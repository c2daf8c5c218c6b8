// The local facilities of the job: matching files, starting programs, date texts, local files.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/stat.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>

#include "platform/DateTimeText.h"
#include "platform/ErrorCode.h"
#include "platform/LocalDirectory.h"
#include "platform/LocalSource.h"
#include "platform/LocalTarget.h"
#include "platform/PartFile.h"
#include "platform/ProcessLauncher.h"
#include "platform/SystemError.h"
#include "support/TempDir.h"

namespace skyhaul::test {
namespace {

using platform::listMatchingFiles;

TEST(ListMatchingFiles, RegularVisibleFilesThatMatchInByteOrder) {
  TempDir dir;
  for (const char* name : {"b.txt", "a.txt", "B.txt", "c.dat", ".hidden.txt", "x.txt.bak"}) {
    writeFile(dir.path() / name, name);
  }
  std::filesystem::create_directory(dir.path() / "folder.txt");

  struct Case {
    std::string mask;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"*.txt", {"B.txt", "a.txt", "b.txt"}},
      {"?.txt", {"B.txt", "a.txt", "b.txt"}},
      {"a.txt", {"a.txt"}},
      {"*", {"B.txt", "a.txt", "b.txt", "c.dat", "x.txt.bak"}},
      {"*.none", {}},
      {"folder.txt", {}},
      {".hidden.txt", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(listMatchingFiles(dir.prefix() + c.mask), c.expected) << c.mask;
  }
}

// Local masks follow the remote listing's rules: only "*" and "?" are wildcards.
TEST(ListMatchingFiles, OnlyStarAndQuestionMarkAreWildcards) {
  TempDir dir;
  for (const char* name : {"x1.txt", "x[1].txt", "x\\1.txt", "x[!1].txt", "xa.txt"}) {
    writeFile(dir.path() / name, name);
  }
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"x[1].txt", {"x[1].txt"}}, {"x[!1].txt", {"x[!1].txt"}},     {"x\\1.txt", {"x\\1.txt"}},
      {"x[a1].txt", {}},          {"x?.txt", {"x1.txt", "xa.txt"}},
  };
  for (const auto& [mask, expected] : cases) {
    EXPECT_EQ(listMatchingFiles(dir.prefix() + mask), expected) << mask;
  }
}

TEST(ListMatchingFiles, AMissingFolderIsAnErrorNotAnEmptyQueue) {
  TempDir dir;
  EXPECT_THROW(listMatchingFiles(dir.prefix() + "missing/*.txt"), platform::SystemError);
}

TEST(DeleteLocalFile, AFileThatIsAlreadyGoneIsAnError) {
  TempDir dir;
  writeFile(dir.path() / "x", "x");
  EXPECT_NO_THROW(platform::deleteLocalFile(dir.prefix() + "x"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "x"));
  EXPECT_THROW(platform::deleteLocalFile(dir.prefix() + "x"), platform::SystemError);
}

TEST(SplitCommandLine, WordsAndQuotesLikeAShell) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
  };
  const std::vector<Case> cases = {
      {"prog", {"prog"}},
      {"  prog   a  b ", {"prog", "a", "b"}},
      {"prog \"two words\" 'single $x'", {"prog", "two words", "single $x"}},
      {"prog a\\ b \"q\\\"uote\"", {"prog", "a b", "q\"uote"}},
      {"prog '' \"\"", {"prog", "", ""}},
      {"prog \"unclosed arg", {"prog", "unclosed arg"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::splitCommandLine(c.line), c.words) << c.line;
}

TEST(StartProgram, AProgramThatDoesNotExistCannotBeStarted) {
  EXPECT_THROW(platform::startProgram("/no/such/program --flag"), platform::SystemError);
  EXPECT_THROW(platform::startProgram("   "), platform::SystemError);
}

std::chrono::system_clock::time_point localTime(int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = 126;
  local.tm_mon = 11;
  local.tm_mday = 8;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// What the follow-up program inherits: no ignored and no blocked signal, whatever this process
// set for itself ("yes | head -1" in a follow-up script must end).
TEST(StartProgram, TheProgramStartsWithDefaultSignals) {
  TempDir dir;
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  sigset_t blocked;
  sigset_t before;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &blocked, &before);
  const auto out = dir.path() / "signals";
  platform::startProgram("sh -c 'grep -E \"^Sig(Ign|Blk)\" /proc/self/status > " + out.string() +
                         ".part && mv " + out.string() + ".part " + out.string() + "'");
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  std::signal(SIGPIPE, previous);
  ASSERT_TRUE(appears(out));
  unsigned long long blockedMask = 1;
  unsigned long long ignoredMask = 1;
  ASSERT_EQ(
      std::sscanf(readFile(out).c_str(), "SigBlk: %llx SigIgn: %llx", &blockedMask, &ignoredMask),
      2);
  // Signals 32 and 33 are the C library's own in every process; it sets them up itself.
  constexpr unsigned long long kLibrarySignals = 0x180000000ULL;
  EXPECT_EQ(blockedMask & ~kLibrarySignals, 0u);
  EXPECT_EQ(ignoredMask & ~kLibrarySignals, 0u);
}

TEST(DefaultDateTimeText, ShortDateBlankLongTimeAndMidnightAlone) {
  std::setlocale(LC_TIME, "C");
  EXPECT_EQ(platform::defaultDateTimeText(localTime(4, 59, 27)), "12/08/26 04:59:27");
  EXPECT_EQ(platform::defaultDateTimeText(localTime(0, 0, 0)), "12/08/26");
  EXPECT_EQ(platform::defaultDateTimeText(localTime(0, 0, 1)), "12/08/26 00:00:01");
}

TEST(LocalSourceAndTarget, ReadsInAnyPiecesAndWritesWhatItWasGiven) {
  TempDir dir;
  const std::string bytes = patternBytes(700001, 3);
  platform::LocalTarget out;
  ASSERT_TRUE(out.openForWriting(dir.prefix() + "f"));
  for (std::size_t at = 0; at < bytes.size(); at += 255) {
    ASSERT_TRUE(out.write(bytes.data() + at, std::min<std::size_t>(255, bytes.size() - at)));
  }
  ASSERT_TRUE(out.close());
  platform::LocalSource in;
  ASSERT_TRUE(in.openForReading(dir.prefix() + "f"));
  EXPECT_EQ(in.size(), static_cast<std::int64_t>(bytes.size()));
  std::string back(bytes.size() + 10, '\0');
  std::size_t got = 0;
  ASSERT_TRUE(in.read(back.data(), back.size(), got));
  EXPECT_EQ(got, bytes.size());
  back.resize(got);
  EXPECT_EQ(back, bytes);
}

TEST(LocalSourceAndTarget, FailuresCarryTheirCodes) {
  TempDir dir;
  platform::LocalSource source;
  EXPECT_FALSE(source.openForReading(dir.prefix() + "missing"));
  EXPECT_EQ(source.error(), platform::ErrorCode::FileNotFound);
  EXPECT_FALSE(source.openForReading(dir.path().string()));
  EXPECT_EQ(source.error(), platform::ErrorCode::AccessDenied);
  platform::LocalTarget file;
  EXPECT_FALSE(file.openForWriting(dir.prefix() + "no/dir/file"));
  EXPECT_EQ(file.error(), platform::ErrorCode::FileNotFound);
  ASSERT_TRUE(file.openForWriting("/dev/full"));
  const std::string block(300000, 'x');
  const bool written = file.write(block.data(), block.size()) && file.close();
  EXPECT_FALSE(written);
  EXPECT_EQ(file.error(), platform::ErrorCode::DiskFull);
}

std::vector<std::string> partFilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> parts;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (platform::isPartFileName(name)) parts.push_back(name);
  }
  return parts;
}

// Yesterday's file stays whole until the new copy is complete, whatever happens before that;
// the copy is written under a fresh name that keeps the file's mode from the start.
TEST(LocalTarget, ANewVersionTakesTheFilesPlaceOnlyWhenClosed) {
  TempDir dir;
  const std::string path = dir.prefix() + std::string(250, 'r');  // its temporary still fits
  writeFile(path, "yesterday");
  const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
  std::filesystem::permissions(path, ownerOnly);
  {
    platform::LocalTarget unfinished;
    ASSERT_TRUE(unfinished.openForWriting(path));
    ASSERT_TRUE(unfinished.write("tod", 3));
    const auto parts = partFilesIn(dir.path());
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(std::filesystem::status(dir.path() / parts[0]).permissions(), ownerOnly);
  }  // dropped, as after a failed attempt
  EXPECT_EQ(readFile(path), "yesterday");
  EXPECT_TRUE(partFilesIn(dir.path()).empty());
  platform::LocalTarget file;
  ASSERT_TRUE(file.openForWriting(path));
  ASSERT_TRUE(file.write("today", 5));
  EXPECT_EQ(readFile(path), "yesterday");
  ASSERT_TRUE(file.close());
  EXPECT_EQ(readFile(path), "today");
  EXPECT_TRUE(partFilesIn(dir.path()).empty());
  EXPECT_EQ(std::filesystem::status(path).permissions(), ownerOnly);
}

// The user's own link is followed to the file it names, and a device is written as it is; a
// FIFO, which would hold the writer for ever, is neither written nor replaced.
TEST(LocalTarget, ALinkIsFollowedADeviceWrittenAndAFifoRefused) {
  TempDir dir;
  TempDir elsewhere;
  writeFile(elsewhere.path() / "target", "old");
  std::filesystem::create_symlink(elsewhere.path() / "target", dir.path() / "link");
  std::filesystem::create_symlink("/dev/null", dir.path() / "device");
  ASSERT_EQ(::mkfifo((dir.prefix() + "fifo").c_str(), 0600), 0);
  platform::LocalTarget file;
  ASSERT_TRUE(file.openForWriting(dir.prefix() + "link"));
  ASSERT_TRUE(file.write("new", 3));
  ASSERT_TRUE(file.close());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link"));
  EXPECT_EQ(readFile(elsewhere.path() / "target"), "new");
  ASSERT_TRUE(file.openForWriting(dir.prefix() + "device"));
  ASSERT_TRUE(file.write("new", 3));
  ASSERT_TRUE(file.close());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "device"));
  EXPECT_FALSE(file.openForWriting(dir.prefix() + "fifo"));
  EXPECT_EQ(file.error(), platform::ErrorCode::AccessDenied);
  platform::LocalSource source;
  EXPECT_FALSE(source.openForReading(dir.prefix() + "fifo"));
  EXPECT_TRUE(partFilesIn(dir.path()).empty());
}

// A run that was killed leaves its temporary; the next one takes it away, but never one that a
// run still writes, nor anything it cannot prove to be one of its own.
TEST(LocalTarget, LeftoverTemporariesAreRemovedButNotOneInUse) {
  TempDir dir;
  const std::string gone = platform::newPartFileName();
  const std::string linked = platform::newPartFileName();
  writeFile(dir.path() / gone, "half");
  writeFile(dir.path() / linked, "a second name makes it no temporary of ours");
  std::filesystem::create_hard_link(dir.path() / linked, dir.path() / "kept.bin");
  writeFile(dir.path() / ".x.skyhaul-part", "a name of another form");
  platform::LocalTarget writing;
  ASSERT_TRUE(writing.openForWriting(dir.prefix() + "busy.txt"));
  platform::removeLeftoverPartFiles(dir.path().string());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / gone));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / linked));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / ".x.skyhaul-part"));
  EXPECT_EQ(partFilesIn(dir.path()).size(), 2u);  // the linked one and the busy one
  ASSERT_TRUE(writing.close());
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "busy.txt"));
}

// What was read is what is there: a source appended to, rewritten or replaced while it was
// sent is not the file that arrived.
TEST(LocalSource, ASourceChangedSinceItWasOpenedIsNoticed) {
  TempDir dir;
  const std::string path = dir.prefix() + "source";
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"nothing", [] {}},
      {"appended", [&] { std::ofstream(path, std::ios::app) << "more"; }},
      {"rewritten",
       [&] {
         std::filesystem::last_write_time(
             path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
       }},
      {"renamed over",
       [&] {
         writeFile(dir.prefix() + "other", "0123456789");
         std::filesystem::rename(dir.prefix() + "other", path);
       }},
      {"deleted", [&] { std::filesystem::remove(path); }},
  };
  for (const auto& [what, change] : changes) {
    writeFile(path, "0123456789");
    platform::LocalSource file;
    ASSERT_TRUE(file.openForReading(path));
    change();
    file.close();
    EXPECT_EQ(file.unchangedSinceOpened(path), std::string(what) == "nothing") << what;
  }
}

TEST(SyncLocalFile, AWrittenFileCanBeMadeSureAMissingOneCannot) {
  TempDir dir;
  platform::LocalTarget file;
  ASSERT_TRUE(file.openForWriting(dir.prefix() + "copy"));
  ASSERT_TRUE(file.write("abc", 3));
  ASSERT_TRUE(file.close());
  EXPECT_EQ(platform::syncLocalFile(dir.prefix() + "copy"), platform::ErrorCode::Success);
  EXPECT_EQ(platform::syncLocalFile(dir.prefix() + "gone"), platform::ErrorCode::FileNotFound);
  EXPECT_NE(platform::syncLocalFile(dir.prefix() + "no/dir/copy"), platform::ErrorCode::Success);
}

}  // namespace
}  // namespace skyhaul::test
