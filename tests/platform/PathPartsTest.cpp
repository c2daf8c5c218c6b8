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

struct JoinRow {
  const char* name;
  const char* folder;
  const char* path;
  const char* joined;
};

class PathIn : public testing::TestWithParam<JoinRow> {};

TEST_P(PathIn, TakesAPathInAFolder) {
  const auto& row = GetParam();
  EXPECT_EQ(pathIn(row.folder, row.path), row.joined);
}

INSTANTIATE_TEST_SUITE_P(Rows, PathIn,
                         testing::Values(JoinRow{"relative", "/srv/in", "x.txt", "/srv/in/x.txt"},
                                         JoinRow{"folder_with_slash", "/srv/in/", "x.txt",
                                                 "/srv/in/x.txt"},
                                         JoinRow{"at_root", "/", "x.txt", "/x.txt"},
                                         JoinRow{"absolute_stands", "/srv/in", "/etc/x", "/etc/x"},
                                         JoinRow{"no_folder", "", "a/x.txt", "a/x.txt"},
                                         JoinRow{"no_path", "in", "", "in"},
                                         JoinRow{"dots_stay", "in/", "../x", "in/../x"},
                                         JoinRow{"name_with_spaces", "in", " x ", "in/ x "}),
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
