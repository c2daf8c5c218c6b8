#include "settings/ReadIni.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace skyhaul::settings {
namespace {

using test::TempDir;
using test::writeFile;

struct IniCase {
  const char* name;
  std::string content;
  std::string section;
  std::string key;
  std::string expected;
};

void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }

class ReadIniTable : public ::testing::TestWithParam<IniCase> {};

TEST_P(ReadIniTable, ReadsTheValue) {
  const TempDir dir;
  const std::string file = (dir.path() / "ftpjob.ini").string();
  writeFile(file, GetParam().content);
  EXPECT_EQ(ReadIni(GetParam().section, GetParam().key, file), GetParam().expected);
}

const std::string kJob =
    "[PROGRAM]\r\nIZBRANO=Streznik\r\n\r\n[Streznik]\r\nFTPURL=ftp.example.net\r\n"
    "ftpdir=/in/\r\nlocaldir=C:\\out\\\r\n";

INSTANTIATE_TEST_SUITE_P(
    Layout, ReadIniTable,
    ::testing::Values(IniCase{"SectionAndKey", kJob, "PROGRAM", "IZBRANO", "Streznik"},
                      IniCase{"SecondSection", kJob, "Streznik", "ftpdir", "/in/"},
                      IniCase{"BackslashesKept", kJob, "Streznik", "localdir", "C:\\out\\"},
                      IniCase{"KeyOfAnotherSection", kJob, "PROGRAM", "FTPURL", ""},
                      IniCase{"MissingSection", kJob, "Drugi", "FTPURL", ""},
                      IniCase{"MissingKey", kJob, "Streznik", "geslo", ""},
                      IniCase{"LowerCaseHeader", "[streznik]\nFTPURL=a\n", "STREZNIK", "FTPURL",
                              "a"},
                      IniCase{"KeyInOtherCase", "[S]\nUporabnik=ana\n", "s", "uporabnik", "ana"},
                      IniCase{"NonAsciiFolded",
                              "[\xC4\x8C"
                              "as]\nk=v\n",
                              "\xC4\x8D"
                              "AS",
                              "k", "v"},
                      IniCase{"NonAsciiKeyFolded", "[s]\n\xC5\xBD=v\n", "s", "\xC5\xBE", "v"},
                      IniCase{"NonAsciiOtherLetter", "[\xC4\x8C]\nk=v\n", "\xC4\x86", "k", ""},
                      IniCase{"BrokenUtf8Exact", "[\xC4x]\nk=v\n", "\xC4X", "k", "v"},
                      IniCase{"LfLines", "[s]\nk=v\n", "s", "k", "v"},
                      IniCase{"NoFinalLineEnd", "[s]\nk=v", "s", "k", "v"},
                      IniCase{"ByteOrderMark", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "v"},
                      IniCase{"KeyBeforeAnySection", "k=v\n[s]\nx=y\n", "", "k", ""},
                      IniCase{"HeaderWithBlanks", "  [ s ]  \nk=v\n", "s", "k", "v"},
                      IniCase{"HeaderWithoutBracket", "[s\nk=v\n", "s", "k", "v"},
                      IniCase{"LineWithoutEquals", "[s]\nk\nk=v\n", "s", "k", "v"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Values, ReadIniTable,
    ::testing::Values(
        IniCase{"FirstEqualsSplits", "[s]\nk=a=b\n", "s", "k", "a=b"},
        IniCase{"BlanksTrimmed", "[s]\n \t k \t= \t a b \t\n", "s", "k", "a b"},
        IniCase{"EmptyValue", "[s]\nk=\n", "s", "k", ""},
        IniCase{"OnlyBlanks", "[s]\nk=  \t \n", "s", "k", ""},
        IniCase{"DoubleQuotes", "[s]\nk=\" a,b \"\n", "s", "k", " a,b "},
        IniCase{"SingleQuotes", "[s]\nk=' x '\n", "s", "k", " x "},
        IniCase{"QuotesInsideBlanks", "[s]\nk=  'x'  \n", "s", "k", "x"},
        IniCase{"MismatchedQuotesKept", "[s]\nk=\"x'\n", "s", "k", "\"x'"},
        IniCase{"OnlyOnePairRemoved", "[s]\nk=''x''\n", "s", "k", "'x'"},
        IniCase{"LoneQuoteKept", "[s]\nk=\"\n", "s", "k", "\""},
        IniCase{"EmptyQuotes", "[s]\nk=\"\"\n", "s", "k", ""},
        IniCase{"SemicolonInValueKept", "[s]\nk=*.txt,UP;x\n", "s", "k", "*.txt,UP;x"},
        IniCase{"CommentLineIgnored", "[s]\n  ;k=old\nk=new\n", "s", "k", "new"},
        IniCase{"CommentIsNoKey", "[s]\n;k=old\n", "s", ";k", ""},
        IniCase{"CommentedHeaderIgnored", "[s]\n;[t]\nk=v\n", "s", "k", "v"},
        IniCase{"FirstDuplicateWins", "[s]\nk=1\nK=2\n", "s", "k", "1"},
        IniCase{"RepeatedSectionFirstWins", "[s]\na=1\n[t]\nk=x\n[S]\nk=2\n[s]\nk=3\n", "s", "k",
                "2"},
        IniCase{"RepeatedSectionLaterKey", "[s]\na=1\n[t]\n[s]\nk=3\n", "s", "k", "3"},
        IniCase{"NulInsideValue", std::string("[s]\nk=a\0b\n", 9), "s", "k",
                std::string("a\0b", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

// Cut after whole characters: a two-byte letter at the cut is kept or dropped whole.
TEST(ReadIni, ValuesAreCutTo254Characters) {
  const TempDir dir;
  const std::string file = (dir.path() / "ftpjob.ini").string();
  const std::string letters = std::string(253, 'x') + "\xC4\x8D\xC5\xA1";  // "…čš"
  writeFile(file, "[s]\nk=" + letters + "\nraw=" + std::string(300, '\xFF') + "\n");
  EXPECT_EQ(ReadIni("s", "k", file), std::string(253, 'x') + "\xC4\x8D");
  EXPECT_EQ(ReadIni("s", "raw", file), std::string(254, '\xFF'));
}

TEST(ReadIni, ValuesAreCutTo254Bytes) {
  const TempDir dir;
  const std::string file = (dir.path() / "ftpjob.ini").string();
  const std::string exact(254, 'x');
  const std::string longer = std::string(254, 'y') + "z";
  const std::string quoted = "\"" + std::string(300, 'q') + "\"";
  writeFile(file, "[s]\nexact=" + exact + "\nlonger=" + longer + "\nquoted=" + quoted + "\n");
  EXPECT_EQ(ReadIni("s", "exact", file), exact);
  EXPECT_EQ(ReadIni("s", "longer", file), std::string(254, 'y'));
  EXPECT_EQ(ReadIni("s", "quoted", file), std::string(254, 'q'));
}

TEST(ReadIni, NoFileGivesEmptyValues) {
  const TempDir dir;
  writeFile(dir.path() / "plain", "not a folder");
  for (const std::string& path : {(dir.path() / "missing.ini").string(), dir.path().string(),
                                  (dir.path() / "plain" / "ftpjob.ini").string(), std::string()}) {
    EXPECT_EQ(ReadIni("PROGRAM", "IZBRANO", path), "") << path;
  }
}

TEST(ReadIni, BinaryJunkIsHarmless) {
  const TempDir dir;
  const std::string file = (dir.path() / "ftpjob.ini").string();
  for (unsigned seed = 1; seed <= 8; ++seed) {
    const std::string junk = test::patternBytes(4096 * seed, seed);
    writeFile(file, junk);
    EXPECT_EQ(ReadIni("no such section", "k", file), "");
    // Junk followed by a real section: the reader keeps its footing after the junk.
    writeFile(file, junk + "\n[s]\nk=v\n");
    EXPECT_EQ(ReadIni("s", "k", file), "v") << "seed " << seed;
  }
}

TEST(ReadIni, TruncatedFileGivesWhatIsThere) {
  const TempDir dir;
  const std::string file = (dir.path() / "ftpjob.ini").string();
  writeFile(file, "[s]\r\na=1\r\nk=\"quoted va");
  EXPECT_EQ(ReadIni("s", "k", file), "\"quoted va");
  writeFile(file, "[s]\r\na=1\r\nk");
  EXPECT_EQ(ReadIni("s", "k", file), "");
}

}  // namespace
}  // namespace skyhaul::settings
