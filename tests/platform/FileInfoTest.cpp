#include "platform/FileInfo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/TempDir.h"

namespace skyhaul::test {
namespace {

using platform::FileIdentity;
using platform::identifyFile;

// The program's own files are recognised however a transfer spells their path.
TEST(IdentifyFile, SameFileWhateverThePathSays) {
  TempDir dir;
  writeFile(dir.path() / "ftpjob.ini", "[s]");
  writeFile(dir.path() / "other.ini", "[s]");
  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_hard_link(dir.path() / "ftpjob.ini", dir.path() / "hard.ini");
  std::filesystem::create_symlink(dir.path() / "ftpjob.ini", dir.path() / "soft.ini");
  FileIdentity original;
  ASSERT_TRUE(identifyFile(dir.prefix() + "ftpjob.ini", original));
  const std::vector<std::pair<std::string, bool>> cases = {
      {dir.prefix() + "sub/../ftpjob.ini", true}, {dir.prefix() + "./ftpjob.ini", true},
      {dir.prefix() + "hard.ini", true},          {dir.prefix() + "soft.ini", true},
      {dir.prefix() + "other.ini", false},        {dir.prefix() + "missing.ini", false},
  };
  for (const auto& [path, same] : cases) {
    FileIdentity identity;
    ASSERT_TRUE(identifyFile(path, identity)) << path;
    EXPECT_EQ(identity == original, same) << path;
  }
}

// A log that does not exist yet is still the file a download of that name would create.
TEST(IdentifyFile, APathThatDoesNotExistYetIsItsFolderAndName) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "sub");
  FileIdentity log;
  FileIdentity sameLog;
  FileIdentity otherName;
  ASSERT_TRUE(identifyFile(dir.prefix() + "SKYHAUL.log", log));
  ASSERT_TRUE(identifyFile(dir.prefix() + "sub/../SKYHAUL.log", sameLog));
  ASSERT_TRUE(identifyFile(dir.prefix() + "skyhaul.log", otherName));
  EXPECT_EQ(log, sameLog);
  EXPECT_NE(log, otherName);
  FileIdentity nowhere;
  EXPECT_FALSE(identifyFile(dir.prefix() + "missing/SKYHAUL.log", nowhere));
}

TEST(FileAccess, WhoMayReadASettingsFile) {
  TempDir dir;
  const std::string path = dir.prefix() + "ftpjob.ini";
  EXPECT_FALSE(platform::isReadableFile(path));
  EXPECT_FALSE(platform::pathExists(path));
  writeFile(path, "[s]");
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_TRUE(platform::isReadableFile(path));
  EXPECT_FALSE(platform::isReadableByOthers(path));
  std::filesystem::permissions(path, std::filesystem::perms::group_read,
                               std::filesystem::perm_options::add);
  EXPECT_TRUE(platform::isReadableByOthers(path));
  EXPECT_FALSE(platform::isReadableFile(dir.path().string()));  // a folder is no settings file
}

// A link is followed only when this user or root made it, at every step of a chain; the file
// opened is the one the checked links lead to.
TEST(OwnLinks, FollowedOnlyThroughLinksOfTrustedUsers) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
  TempDir dir;
  const auto at = [&](const char* name) { return dir.prefix() + name; };
  writeFile(at("target"), "the file");
  std::filesystem::create_symlink("target", at("own"));
  std::filesystem::create_symlink("target", at("foreign"));
  ASSERT_EQ(::lchown(at("foreign").c_str(), 65534, 65534), 0);
  std::filesystem::create_symlink("foreign", at("ownToForeign"));
  struct Row {
    const char* name;
    int openError;         // 0 when it opens the target
    const char* resolved;  // "" when it does not resolve
  };
  for (const Row& row : {
           Row{"target", 0, "target"},
           Row{"own", 0, "target"},
           Row{"foreign", EACCES, ""},
           Row{"ownToForeign", EACCES, ""},
       }) {
    SCOPED_TRACE(row.name);
    const int fd = platform::openFollowingOwnLinks(at(row.name), O_RDONLY | O_CLOEXEC);
    const int error = errno;
    if (row.openError == 0) {
      ASSERT_GE(fd, 0);
      struct stat opened {};
      struct stat target {};
      ASSERT_EQ(::fstat(fd, &opened), 0);
      ASSERT_EQ(::stat(at("target").c_str(), &target), 0);
      EXPECT_EQ(opened.st_ino, target.st_ino);
      ::close(fd);
    } else {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(error, row.openError);
    }
    std::string resolved;
    const bool ok = platform::resolveOwnLinks(at(row.name), resolved);
    EXPECT_EQ(ok, *row.resolved != '\0');
    if (ok) {
      EXPECT_EQ(std::filesystem::path(resolved).filename(), row.resolved);
    }
  }
}

}  // namespace
}  // namespace skyhaul::test
