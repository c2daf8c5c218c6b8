#include "platform/inet/ftp/ListingFormats.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace skyhaul::inet::detail {
namespace {

struct Expected {
  std::string name;
  std::int64_t size;
  bool isDirectory;
};

struct ListingRow {
  const char* name;
  const char* line;
  std::optional<Expected> entry;  // nothing: not an entry
};

void expectEntry(const std::optional<FindData>& got, const std::optional<Expected>& want) {
  ASSERT_EQ(got.has_value(), want.has_value());
  if (!got) return;
  EXPECT_EQ(got->fileName, want->name);
  EXPECT_EQ(got->fileSize, want->size);
  EXPECT_EQ(got->isDirectory, want->isDirectory);
}

class ListLine : public testing::TestWithParam<ListingRow> {};

TEST_P(ListLine, GivesNameSizeAndKind) {
  expectEntry(parseListLine(GetParam().line), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListLine,
    testing::Values(
        ListingRow{"unix_vsftpd_numeric_owner",
                   "-rw-r--r--    1 1001     1001           60 Dec 08 04:36 a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"unix_vsftpd_year",
                   "-rw-r--r--    1 1001     1001            4 Jan 02  2020 old.txt",
                   Expected{"old.txt", 4, false}},
        ListingRow{"unix_proftpd_space_padded_day",
                   "-rw-r--r--   1 ftpjob   ftpjob         60 Dec  8 04:36 a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"unix_pure_ftpd_mixed_owner",
                   "-rw-r--r--    1 1001       ftpjob             60 Dec  8 04:36 a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"unix_pyftpdlib", "-rw-r--r--   1 ftpjob   ftpjob         60 Dec 08 04:36 a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"unix_directory", "drwxr-xr-x   2 ftpjob   ftpjob       4096 Dec 08 04:36 sub",
                   Expected{"sub", 4096, true}},
        ListingRow{"unix_name_with_spaces",
                   "-rw-r--r--   1 ftpjob   ftpjob         60 Dec 08 04:36 with  two spaces.txt",
                   Expected{"with  two spaces.txt", 60, false}},
        ListingRow{"unix_name_like_a_date",
                   "-rw-r--r--   1 ftpjob   ftpjob         60 Dec 08 04:36 Jan 02 2020",
                   Expected{"Jan 02 2020", 60, false}},
        ListingRow{"unix_symlink",
                   "lrwxrwxrwx   1 ftpjob   ftpjob          5 Dec 08 04:36 link -> a.txt",
                   Expected{"link", 5, false}},
        ListingRow{"unix_no_group", "-rw-r--r--   1 ftpjob        123 Mar 31 23:59 b.bin",
                   Expected{"b.bin", 123, false}},
        ListingRow{"unix_owner_named_like_month",
                   "-rw-r--r--   1 may      may            77 Dec 08 04:36 c.txt",
                   Expected{"c.txt", 77, false}},
        ListingRow{"unix_acl_mark",
                   "-rw-r--r--+  1 ftpjob   ftpjob         60 Dec 08 04:36 acl.txt",
                   Expected{"acl.txt", 60, false}},
        ListingRow{"unix_large_size",
                   "-rw-r--r--   1 ftpjob   ftpjob   5368709120 Dec 08 04:36 big.iso",
                   Expected{"big.iso", 5368709120LL, false}},
        ListingRow{"unix_utf8_name",
                   "-rw-r--r--   1 ftpjob   ftpjob          3 Dec 08 04:36 \xC4\x8Drka.txt",
                   Expected{"\xC4\x8Drka.txt", 3, false}},
        ListingRow{"unix_total_line", "total 12", std::nullopt},
        ListingRow{"unix_truncated", "-rw-r--r--   1 ftpjob   ftpjob         60 Dec 08 04:36",
                   std::nullopt},
        ListingRow{"dos_file", "12-08-26  04:36AM                   60 a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"dos_directory", "12-08-26  04:36AM       <DIR>          sub",
                   Expected{"sub", 0, true}},
        ListingRow{"dos_four_digit_year", "12-08-2026  04:36PM                 1234 b c.txt",
                   Expected{"b c.txt", 1234, false}},
        ListingRow{"dos_24_hour", "12-08-26  16:36                   60 a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"empty_line", "", std::nullopt},
        ListingRow{"garbage", "this is not a listing", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

class MlsdLine : public testing::TestWithParam<ListingRow> {};

TEST_P(MlsdLine, GivesNameSizeAndKind) {
  expectEntry(parseMlsdLine(GetParam().line), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MlsdLine,
    testing::Values(
        ListingRow{"proftpd",
                   "modify=20261208043620;perm=adfrw;size=60;type=file;unique=FE00UA72078;"
                   "UNIX.group=1001;UNIX.groupname=ftpjob;UNIX.mode=0644;UNIX.owner=1001;"
                   "UNIX.ownername=ftpjob; a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"pure_ftpd",
                   "type=file;size=60;modify=20261208043627;UNIX.mode=0644;UNIX.uid=1001;"
                   "UNIX.gid=1001;unique=fe00ga72062; a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"pyftpdlib",
                   "modify=20261208043641;perm=radfwMT;size=60;type=file;unique=fe00ga72167; a.txt",
                   Expected{"a.txt", 60, false}},
        ListingRow{"directory_sizd", "type=dir;sizd=4096;modify=20261208043627; sub",
                   Expected{"sub", 4096, true}},
        ListingRow{"type_in_capitals", "Type=DIR;Size=0; Sub", Expected{"Sub", 0, true}},
        ListingRow{"name_with_spaces", "type=file;size=1; two  words.txt",
                   Expected{"two  words.txt", 1, false}},
        ListingRow{"name_with_path", "type=file;size=9; /in/a.txt",
                   Expected{"/in/a.txt", 9, false}},
        ListingRow{"symlink_type", "type=OS.unix=slink:/a.txt;size=5; link",
                   Expected{"link", 5, false}},
        ListingRow{"large_size", "type=file;size=5368709120; big.iso",
                   Expected{"big.iso", 5368709120LL, false}},
        ListingRow{"cdir_skipped", "type=cdir;sizd=4096;modify=20261208043627; .", std::nullopt},
        ListingRow{"pdir_skipped", "type=pdir;sizd=4096;modify=20261208043627; ..", std::nullopt},
        ListingRow{"no_name", "type=file;size=1;", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

class MlstReply : public testing::TestWithParam<ListingRow> {};

TEST_P(MlstReply, GivesTheEntryOfItsFactLine) {
  expectEntry(parseMlstReply(GetParam().line), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MlstReply,
    testing::Values(
        ListingRow{
            "pyftpdlib",
            "250-Listing \"a.txt\":\r\n"
            " modify=20261208043641;perm=radfwMT;size=60;type=file;unique=fe00ga72167; a.txt\r\n"
            "250 End MLST.\r\n",
            Expected{"a.txt", 60, false}},
        ListingRow{"proftpd_path",
                   "250-Start of list for /in/a.txt\r\n"
                   " modify=20261208043620;perm=adfrw;size=9;type=file; /in/a.txt\r\n"
                   "250 End of list\r\n",
                   Expected{"/in/a.txt", 9, false}},
        ListingRow{"line_feeds_only", "250-Listing\n type=dir;sizd=4096; sub\n250 End\n",
                   Expected{"sub", 4096, true}},
        ListingRow{"space_in_name", "250-x\r\n type=file;size=2; with space.txt\r\n250 y\r\n",
                   Expected{"with space.txt", 2, false}},
        ListingRow{"no_fact_line", "250 Listing follows but nothing came\r\n", std::nullopt},
        ListingRow{"refusal", "550 No such file or directory.\r\n", std::nullopt},
        ListingRow{"current_directory", "250-x\r\n type=cdir;sizd=4096; .\r\n250 y\r\n",
                   std::nullopt},
        ListingRow{"empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BareName, DropsTheDirectoryPart) {
  EXPECT_EQ(bareName("in/a.txt"), "a.txt");
  EXPECT_EQ(bareName("/a.txt"), "a.txt");
  EXPECT_EQ(bareName("a.txt"), "a.txt");
  EXPECT_EQ(bareName("sub/"), "");
}

}  // namespace
}  // namespace skyhaul::inet::detail
