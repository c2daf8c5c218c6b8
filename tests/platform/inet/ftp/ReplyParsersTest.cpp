#include "platform/inet/ftp/ReplyParsers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace skyhaul::inet::detail {
namespace {

struct PasvRow {
  const char* name;
  const char* reply;
  std::optional<std::string> address;  // dotted, or nothing when the reply is not understood
  int port;
};

class PasvReply : public testing::TestWithParam<PasvRow> {};

TEST_P(PasvReply, NamesAddressAndPort) {
  const auto& row = GetParam();
  const auto endpoint = parsePasvReply(row.reply);
  ASSERT_EQ(endpoint.has_value(), row.address.has_value());
  if (!endpoint) return;
  const auto& a = endpoint->address;
  EXPECT_EQ(std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
                std::to_string(a[3]),
            *row.address);
  EXPECT_EQ(endpoint->port, row.port);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PasvReply,
    testing::Values(
        PasvRow{"pyftpdlib", "227 Entering passive mode (127,0,0,1,187,219).\r\n", "127.0.0.1",
                187 * 256 + 219},
        PasvRow{"no_brackets", "227 Entering Passive Mode 10,1,2,3,4,5\r\n", "10.1.2.3", 1029},
        PasvRow{"equals_sign", "227 =192,168,0,7,0,21\r\n", "192.168.0.7", 21},
        PasvRow{"number_in_text_first", "227 Mode 2 (127,0,0,1,0,80)\r\n", "127.0.0.1", 80},
        PasvRow{"out_of_range", "227 Entering (300,0,0,1,4,5)\r\n", std::nullopt, 0},
        PasvRow{"too_few_numbers", "227 Entering (127,0,0,1,4)\r\n", std::nullopt, 0},
        PasvRow{"nothing", "227 Entering passive mode\r\n", std::nullopt, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct EpsvRow {
  const char* name;
  const char* reply;
  std::optional<int> port;
};

class EpsvReply : public testing::TestWithParam<EpsvRow> {};

TEST_P(EpsvReply, NamesThePort) {
  const auto& row = GetParam();
  const auto port = parseEpsvReply(row.reply);
  ASSERT_EQ(port.has_value(), row.port.has_value());
  if (port) {
    EXPECT_EQ(*port, *row.port);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EpsvReply,
    testing::Values(EpsvRow{"usual", "229 Entering extended passive mode (|||40123|).\r\n", 40123},
                    EpsvRow{"other_delimiter", "229 EPSV ok (!!!2121!)\r\n", 2121},
                    EpsvRow{"mixed_delimiters", "229 (|!|2121|)\r\n", std::nullopt},
                    EpsvRow{"port_zero", "229 (|||0|)\r\n", std::nullopt},
                    EpsvRow{"port_too_big", "229 (|||70000|)\r\n", std::nullopt},
                    EpsvRow{"no_closing_bracket", "229 (|||2121|\r\n", std::nullopt},
                    EpsvRow{"no_brackets", "229 Entering extended passive mode\r\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct PwdRow {
  const char* name;
  const char* reply;
  std::optional<std::string> directory;
};

class PwdReply : public testing::TestWithParam<PwdRow> {};

TEST_P(PwdReply, NamesTheDirectory) {
  const auto& row = GetParam();
  EXPECT_EQ(parsePwdReply(row.reply), row.directory);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PwdReply,
    testing::Values(PwdRow{"root", "257 \"/\" is the current directory.\r\n", "/"},
                    PwdRow{"spaces", "257 \"/in coming/x\" is current\r\n", "/in coming/x"},
                    PwdRow{"doubled_quote", "257 \"/say \"\"hi\"\"\" ok\r\n", "/say \"hi\""},
                    PwdRow{"unclosed", "257 \"/in\r\n", std::nullopt},
                    PwdRow{"no_quotes", "257 /in is current\r\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FeatReply, FindsMlstSizeAndUtf8OnFeatureLinesOnly) {
  const auto pyftpdlib = parseFeatReply(
      "211-Features supported:\r\n EPRT\r\n EPSV\r\n MDTM\r\n MLST "
      "type*;perm*;size*;modify*;\r\n REST STREAM\r\n SIZE\r\n TVFS\r\n UTF8\r\n211 End FEAT.\r\n");
  EXPECT_TRUE(pyftpdlib.mlst);
  EXPECT_TRUE(pyftpdlib.utf8);
  EXPECT_TRUE(pyftpdlib.size);
  const auto vsftpd = parseFeatReply(
      "211-Features:\r\n EPRT\r\n EPSV\r\n MDTM\r\n PASV\r\n REST STREAM\r\n SIZE\r\n TVFS\r\n"
      "211 End\r\n");
  EXPECT_FALSE(vsftpd.mlst);
  EXPECT_FALSE(vsftpd.utf8);
  EXPECT_TRUE(vsftpd.size);
  const auto words =
      parseFeatReply("211-MLST UTF8 SIZE in the first line\r\n  mlsd\r\n SIZES\r\n211 End\r\n");
  EXPECT_TRUE(words.mlst);
  EXPECT_FALSE(words.utf8);
  EXPECT_FALSE(words.size);
}

struct SizeRow {
  const char* name;
  const char* text;
  std::optional<std::int64_t> size;
};

class SizeReply : public testing::TestWithParam<SizeRow> {};

TEST_P(SizeReply, GivesTheWholeNumberOrNothing) {
  EXPECT_EQ(parseSizeReply(GetParam().text), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SizeReply,
    testing::Values(SizeRow{"plain", "213 10240\r\n", 10240}, SizeRow{"zero", "213 0\r\n", 0},
                    SizeRow{"bare_lf", "213 7\n", 7},
                    SizeRow{"beyond_32_bits", "213 2684354560\r\n", 2684354560LL},
                    SizeRow{"largest", "213 9223372036854775807\r\n", INT64_MAX},
                    SizeRow{"too_large", "213 9223372036854775808\r\n", std::nullopt},
                    SizeRow{"negative", "213 -5\r\n", std::nullopt},
                    SizeRow{"words_after", "213 5 bytes\r\n", std::nullopt},
                    SizeRow{"no_number", "213 \r\n", std::nullopt},
                    SizeRow{"other_code", "550 5\r\n", std::nullopt},
                    SizeRow{"multi_line", "213-5\r\n213 5\r\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::inet::detail
