#include "settings/IniContents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace skyhaul::settings {
namespace {

using test::TempDir;
using test::writeFile;

// Slips of the keyboard that the warnings must catch, and names that are not slips.
TEST(NameDistance, CountsChangesAndSwapsWithoutRegardToCase) {
  const std::vector<std::tuple<const char*, const char*, int>> cases = {
      {"ftpdri", "ftpdir", 1},    {"gselo", "geslo", 1},       {"LOKALDIR", "localdir", 1},
      {"ftpdwn", "ftpdown", 1},   {"FTPURL", "ftpurl", 0},     {"", "run", 3},
      {"čas", "ČAS", 0},          {"ftpdir", "localdir", 5},   {"ab", "ba", 1},
      {"prenos1", "prenos12", 1}, {"uporabnk", "uporabnik", 1}};
  for (const auto& [a, b, distance] : cases) {
    EXPECT_EQ(nameDistance(a, b), distance) << a << " " << b;
    EXPECT_EQ(nameDistance(b, a), distance) << b << " " << a;
  }
  EXPECT_TRUE(resemblesName("lokaldir", "localdir"));
  EXPECT_TRUE(resemblesName("rn1", "run1"));
  EXPECT_FALSE(resemblesName("x", "run"));
  EXPECT_FALSE(resemblesName("*.txt", "job"));
  EXPECT_FALSE(resemblesName("geslo", "kljuc"));
}

TEST(SectionContents, KeysWithTheirLinesUnderEveryHeaderOfTheSection) {
  const TempDir dir;
  const std::string file = (dir.path() / "ftpjob.ini").string();
  writeFile(file,
            "\xEF\xBB\xBF[PROGRAM]\r\nIZBRANO=job\r\n[Job]\r\n; note=x\r\nftpdri = in/\r\n"
            "[other]\r\ngeslo=x\r\n[JOB]\r\ngselo=y\r\nnot a pair\r\n");

  const auto keys = SectionKeys("job", file);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].name, "ftpdri");
  EXPECT_EQ(keys[0].line, 5);
  EXPECT_EQ(keys[1].name, "gselo");
  EXPECT_EQ(keys[1].line, 9);
  EXPECT_EQ(SectionNames(file), (std::vector<std::string>{"PROGRAM", "Job", "other"}));
  EXPECT_TRUE(SectionKeys("missing", file).empty());
  EXPECT_TRUE(SectionNames((dir.path() / "none.ini").string()).empty());
}

}  // namespace
}  // namespace skyhaul::settings
