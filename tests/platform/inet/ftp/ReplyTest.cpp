#include "platform/inet/ftp/Reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skyhaul::inet::detail {
namespace {

struct AssemblyRow {
  const char* name;
  std::string stream;              // bytes as they arrive
  std::vector<int> codes;          // replies completed, in order
  std::vector<std::string> texts;  // their texts
};

class ReplyAssembly : public testing::TestWithParam<AssemblyRow> {};

// Feeds the stream line by line, as the control connection does.
std::vector<Reply> assemble(std::string stream) {
  std::vector<Reply> replies;
  ReplyAssembler assembler;
  std::string line;
  while (takeLine(stream, line)) {
    if (assembler.addLine(line)) replies.push_back(assembler.take());
  }
  return replies;
}

TEST_P(ReplyAssembly, GivesTheCompleteReplies) {
  const auto& row = GetParam();
  const auto replies = assemble(row.stream);
  ASSERT_EQ(replies.size(), row.codes.size());
  for (std::size_t i = 0; i < replies.size(); ++i) {
    EXPECT_EQ(replies[i].code, row.codes[i]) << i;
    EXPECT_EQ(replies[i].text, row.texts[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReplyAssembly,
    testing::Values(
        AssemblyRow{"single", "220 Ready.\r\n", {220}, {"220 Ready.\r\n"}},
        AssemblyRow{"bare_code", "200\r\n", {200}, {"200\r\n"}},
        AssemblyRow{"lf_only",
                    "331 Password.\n230 In.\n",
                    {331, 230},
                    {"331 Password.\r\n", "230 In.\r\n"}},
        AssemblyRow{"multi_line_pure_ftpd_banner",
                    "220-Welcome\r\n220-You are user 1\r\n220 Local time\r\n",
                    {220},
                    {"220-Welcome\r\n220-You are user 1\r\n220 Local time\r\n"}},
        AssemblyRow{"multi_line_with_inner_code_lines",
                    "211-Features:\r\n MLST type*;\r\n211-not the end\r\n 200 not either\r\n"
                    "211 End\r\n",
                    {211},
                    {"211-Features:\r\n MLST type*;\r\n211-not the end\r\n 200 not either\r\n"
                     "211 End\r\n"}},
        AssemblyRow{"multi_line_other_code_does_not_end",
                    "226-Done\r\n250 x\r\n226 End\r\n",
                    {226},
                    {"226-Done\r\n250 x\r\n226 End\r\n"}},
        AssemblyRow{"multi_line_bare_code_ends",
                    "150-Opening\r\n150\r\n",
                    {150},
                    {"150-Opening\r\n150\r\n"}},
        AssemblyRow{"two_replies_back_to_back",
                    "226-File successfully transferred\r\n226 0.000 seconds\r\n221 Bye\r\n",
                    {226, 221},
                    {"226-File successfully transferred\r\n226 0.000 seconds\r\n", "221 Bye\r\n"}},
        AssemblyRow{
            "noise_before_reply_dropped", "hello there\r\n220 Ready\r\n", {220}, {"220 Ready\r\n"}},
        AssemblyRow{"incomplete_line_waits", "220 Rea", {}, {}},
        AssemblyRow{"open_reply_waits", "220-Welcome\r\n", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TakeLine, LeavesAnIncompleteLineInTheBuffer) {
  std::string buffer = "250 ok\r\n226 par";
  std::string line;
  ASSERT_TRUE(takeLine(buffer, line));
  EXPECT_EQ(line, "250 ok");
  EXPECT_FALSE(takeLine(buffer, line));
  EXPECT_EQ(buffer, "226 par");
}

TEST(ReplyClass, FollowsTheFirstDigit) {
  EXPECT_TRUE((Reply{150, ""}).isPreliminary());
  EXPECT_TRUE((Reply{226, ""}).isCompletion());
  EXPECT_TRUE((Reply{350, ""}).isIntermediate());
  EXPECT_FALSE((Reply{550, ""}).isCompletion());
}

}  // namespace
}  // namespace skyhaul::inet::detail
