#include "platform/Wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace skyhaul::platform {
namespace {

struct WildcardRow {
  const char* name;
  const char* pattern;
  const char* candidate;
  bool matches;
};

class Wildcard : public testing::TestWithParam<WildcardRow> {};

TEST_P(Wildcard, MatchesLikeTheShell) {
  const auto& row = GetParam();
  EXPECT_EQ(matchesWildcard(row.pattern, row.candidate), row.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Wildcard,
    testing::Values(WildcardRow{"star_extension", "*.txt", "a.txt", true},
                    WildcardRow{"star_extension_other", "*.txt", "a.txt.bak", false},
                    WildcardRow{"star_alone", "*", "anything at all", true},
                    WildcardRow{"star_matches_empty", "a*", "a", true},
                    WildcardRow{"question_one_byte", "?.txt", "b.txt", true},
                    WildcardRow{"question_not_two", "?.txt", "bb.txt", false},
                    WildcardRow{"question_not_zero", "a?", "a", false},
                    WildcardRow{"star_middle_backtracks", "a*b*c", "axxbyybzc", true},
                    WildcardRow{"star_middle_fails", "a*b*c", "axxbyy", false},
                    WildcardRow{"case_counts", "*.TXT", "a.txt", false},
                    WildcardRow{"star_dot_star_needs_dot", "*.*", "README", false},
                    WildcardRow{"star_skips_dotfile", "*", ".hidden", false},
                    WildcardRow{"question_skips_dotfile", "?hidden", ".hidden", false},
                    WildcardRow{"dot_pattern_finds_dotfile", ".h*", ".hidden", true},
                    WildcardRow{"inner_dot_is_fine", "*rc", "a.rc", true},
                    WildcardRow{"bytes_beyond_ascii", "*\xC4\x8D*", "\xC4\x8Drka.txt", true},
                    WildcardRow{"literal_star_in_name", "a*", "a*b", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Wildcards, AreStarAndQuestionMark) {
  EXPECT_TRUE(hasWildcards("*.txt"));
  EXPECT_TRUE(hasWildcards("in/a?.txt"));
  EXPECT_FALSE(hasWildcards("in/a.txt"));
}

struct MaskRow {
  const char* name;
  const char* mask;
  const char* directory;
  const char* pattern;
};

class MaskSplit : public testing::TestWithParam<MaskRow> {};

TEST_P(MaskSplit, CutsAtTheLastSlash) {
  const auto& row = GetParam();
  const auto parts = splitMask(row.mask);
  EXPECT_EQ(parts.directory, row.directory);
  EXPECT_EQ(parts.pattern, row.pattern);
}

INSTANTIATE_TEST_SUITE_P(Rows, MaskSplit,
                         testing::Values(MaskRow{"bare", "*.txt", "", "*.txt"},
                                         MaskRow{"relative", "in/*.txt", "in", "*.txt"},
                                         MaskRow{"nested", "a/b/c.txt", "a/b", "c.txt"},
                                         MaskRow{"root", "/*.txt", "/", "*.txt"},
                                         MaskRow{"directory_only", "in/", "in", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::platform
