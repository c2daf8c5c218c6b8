#include "platform/PathParts.h"

#include <gtest/gtest.h>

#include "platform/Ascii.h"

namespace skyhaul::platform {
namespace {

struct PathRow {
  const char* name;
  const char* path;
  const char* nameOf;
  const char* folderPrefixOf;
  const char* folderOf;
  const char* folderOrEmpty;  // folderOf(path, "")
};

class PathParts : public testing::TestWithParam<PathRow> {};

TEST_P(PathParts, CutAtTheLastSlash) {
  const auto& row = GetParam();
  EXPECT_EQ(nameOf(row.path), row.nameOf);
  EXPECT_EQ(folderPrefixOf(row.path), row.folderPrefixOf);
  EXPECT_EQ(folderOf(row.path), row.folderOf);
  EXPECT_EQ(folderOf(row.path, ""), row.folderOrEmpty);
  EXPECT_EQ(folderPrefixOf(row.path) + nameOf(row.path), row.path);
}

INSTANTIATE_TEST_SUITE_P(Rows, PathParts,
                         testing::Values(PathRow{"nested", "a/b/c", "c", "a/b/", "a/b", "a/b"},
                                         PathRow{"at_root", "/c", "c", "/", "/", "/"},
                                         PathRow{"no_slash", "c", "c", "", ".", ""},
                                         PathRow{"empty", "", "", "", ".", ""},
                                         PathRow{"folder_only", "a/", "", "a/", "a", "a"},
                                         PathRow{"root_only", "/", "", "/", "/", "/"},
                                         PathRow{"absolute", "/srv/in/x.txt", "x.txt", "/srv/in/",
                                                 "/srv/in", "/srv/in"}),
                         [](const auto& info) { return info.param.name; });

TEST(Ascii, ChangesOnlyAsciiLetters) {
  EXPECT_EQ(asciiUpper("down"), "DOWN");
  EXPECT_EQ(asciiLower("TYPE=Dir"), "type=dir");
  // Bytes beyond ASCII (here UTF-8 "Č" and "ı") stay as they are, whatever the locale.
  EXPECT_EQ(asciiUpper("\xC4\x8C-i-\xC4\xB1"), "\xC4\x8C-I-\xC4\xB1");
  EXPECT_EQ(asciiLower("\xC4\x8C-I"), "\xC4\x8C-i");
  EXPECT_TRUE(isAsciiDigit('7'));
  EXPECT_FALSE(isAsciiDigit('x'));
}

}  // namespace
}  // namespace skyhaul::platform
