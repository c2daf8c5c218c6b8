#include "platform/FileInfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

}  // namespace
}  // namespace skyhaul::test
