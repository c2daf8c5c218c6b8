#include "settings/Filled.h"

#include <gtest/gtest.h>

#include <string>

namespace skyhaul::settings {
namespace {

struct FilledCase {
  std::string text;
  bool filled;
};

void PrintTo(const FilledCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class FilledTable : public ::testing::TestWithParam<FilledCase> {};

TEST_P(FilledTable, SortsAfterASingleSpace) {
  EXPECT_EQ(IsFilled(GetParam().text), GetParam().filled) << "text: [" << GetParam().text << "]";
}

INSTANTIATE_TEST_SUITE_P(Texts, FilledTable,
                         ::testing::Values(FilledCase{"", false}, FilledCase{" ", false},
                                           FilledCase{"\t", false}, FilledCase{"\x1f", false},
                                           FilledCase{"\x01"
                                                      "abc",
                                                      false},
                                           FilledCase{std::string(1, '\0') + "abc", false},
                                           FilledCase{"a", true}, FilledCase{"!", true},
                                           FilledCase{"  ", true}, FilledCase{" a", true},
                                           FilledCase{"\x7f", true}, FilledCase{"\x80", true},
                                           FilledCase{"\xC5\xA1", true},
                                           FilledCase{"ftp.example.net", true}));

}  // namespace
}  // namespace skyhaul::settings
