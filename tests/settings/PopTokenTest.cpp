#include "settings/PopToken.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skyhaul::settings {
namespace {

struct PopCase {
  const char* name;
  std::string before;
  std::string token;
  std::string after;
};

void PrintTo(const PopCase& c, std::ostream* os) { *os << c.name; }

class PopTokenTable : public ::testing::TestWithParam<PopCase> {};

TEST_P(PopTokenTable, TakesTheFirstTokenAndLeavesTheRest) {
  std::string list = GetParam().before;
  EXPECT_EQ(PopToken(list), GetParam().token);
  EXPECT_EQ(list, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, PopTokenTable,
    ::testing::Values(PopCase{"MaskOfACommand", "*.txt, DOWN, DEL", "*.txt", "DOWN, DEL"},
                      PopCase{"Direction", "DOWN, DEL", "DOWN", "DEL"},
                      PopCase{"LastToken", "DEL", "DEL", ""},
                      PopCase{"LeadingSpaceKept", " a,b", " a", "b"},
                      PopCase{"SpaceBeforeSeparatorKept", "a ,b", "a ", "b"},
                      PopCase{"SpacesAfterCommaDropped", "a,  b", "a", "b"},
                      PopCase{"QuotedSeparator", "'x,y',UP", "x,y", "UP"},
                      PopCase{"SemicolonEndsList", "a;b,c", "a", ""},
                      PopCase{"TrailingComma", "a,", "a", ""}, PopCase{"EmptyList", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, PopTokenTable,
    ::testing::Values(PopCase{"LeadingComma", ",a,b", "", "a,b"},
                      PopCase{"LeadingSemicolon", ";a", "", ""},
                      PopCase{"DoubleQuotedSeparators", "\"a;b,c\",d", "a;b,c", "d"},
                      PopCase{"QuoteClosedByTheOtherKind", "\"x,y',UP", "x,y", "UP"},
                      PopCase{"QuotesInsideAToken", "ab'c,d'e,f", "abc,de", "f"},
                      PopCase{"UnclosedQuoteTakesTheRest", "'abc,def;g", "abc,def;g", ""},
                      PopCase{"CodeOneIsADoubleQuote", "say \x01hi\x01,x", "say \"hi\"", "x"},
                      PopCase{"TabAfterCommaStays", "a,\tb", "a", "\tb"},
                      PopCase{"OnlySpacesAfterComma", "a,   ", "a", ""},
                      PopCase{"SpacesThenSemicolon", "a,  ;b", "a", ";b"},
                      PopCase{"EmptyQuotedToken", "'',b", "", "b"},
                      PopCase{"TextAfterSemicolonInRestIsKept", "a,b;c", "a", "b;c"},
                      PopCase{"Utf8BytesUntouched", "\xC5\xA1t.txt,x", "\xC5\xA1t.txt", "x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PopToken, DrainingAListSeesNothingAfterSemicolon) {
  std::string list = "a.txt, b.txt,'c,d.txt';e.txt,f.txt";
  std::vector<std::string> tokens;
  for (int guard = 0; guard < 10 && !list.empty(); ++guard) tokens.push_back(PopToken(list));
  EXPECT_EQ(tokens, (std::vector<std::string>{"a.txt", "b.txt", "c,d.txt"}));
  EXPECT_EQ(PopToken(list), "");
  EXPECT_EQ(list, "");
}

// The scan reaches position 32767 (a signed 16-bit count) and no further.
TEST(PopToken, SeparatorAtTheLastReachablePositionIsFound) {
  std::string list = std::string(32766, 'a') + ",b";
  EXPECT_EQ(PopToken(list), std::string(32766, 'a'));
  EXPECT_EQ(list, "b");
}

TEST(PopToken, SeparatorBeyondReachMakesTheWholeListOneToken) {
  std::string list = std::string(32767, 'a') + ",b;c";
  EXPECT_EQ(PopToken(list), std::string(32767, 'a') + ",b;c");
  EXPECT_EQ(list, "");
}

TEST(PopToken, WholeListTokenStillDropsQuotesAndMapsCodeOne) {
  // Appended, not "'" + ...: GCC 12's -Wrestrict misreads that at -O3.
  std::string list = "'";
  list.append(32767, 'a').append("'x,\x01y");
  EXPECT_EQ(PopToken(list), std::string(32767, 'a') + "x,\"y");
  EXPECT_EQ(list, "");
}

TEST(PopToken, QuotedSpanRunningPastTheLimitTakesTheWholeList) {
  std::string list = "'";
  list.append(40000, ',').append("',rest");
  // The quoted span runs past the limit, so its closing comma is out of reach.
  EXPECT_EQ(PopToken(list), std::string(40000, ',') + ",rest");
  std::string shortList = "'";
  shortList.append(100, ',').append("',rest");
  EXPECT_EQ(PopToken(shortList), std::string(100, ','));
  EXPECT_EQ(shortList, "rest");
}

}  // namespace
}  // namespace skyhaul::settings
