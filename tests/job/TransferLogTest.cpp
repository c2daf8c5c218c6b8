#include <gtest/gtest.h>

#include <clocale>
#include <regex>

#include "job/TransferLog.h"
#include "platform/SystemError.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

namespace skyhaul::test {
namespace {

TEST(TransferLog, AppendsSuccessAndFailureLinesWithCrLf) {
  std::setlocale(LC_TIME, "C");
  TempDir dir;
  const std::string path = dir.prefix() + "SKYHAUL.log";
  writeFile(path, "earlier line\r\n");
  FakeClock clock;
  job::TransferLog log(clock, path);

  log.appendSuccess("/l/a.txt", "in/a.txt");
  log.appendFailure("in/b.txt", "/l/b.txt", "550 No such file.\r\n");
  log.appendFailure("s", "t", "");

  const std::string text = readFile(path);
  const std::regex expected(
      "earlier line\r\n"
      "\\d\\d/\\d\\d/\\d\\d( \\d\\d:\\d\\d:\\d\\d)? /l/a.txt----->in/a.txt\r\n"
      "NAPAKA\\d\\d/\\d\\d/\\d\\d( \\d\\d:\\d\\d:\\d\\d)? in/b.txt----->/l/b.txt 550 No such "
      "file.\r\n\r\n"
      "NAPAKA\\d\\d/\\d\\d/\\d\\d( \\d\\d:\\d\\d:\\d\\d)? s----->t \r\n");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(TransferLog, ALogThatCannotBeOpenedThrowsWithItsName) {
  TempDir dir;
  FakeClock clock;
  job::TransferLog log(clock, dir.prefix() + "missing/SKYHAUL.log");
  try {
    log.appendSuccess("a", "b");
    FAIL() << "no error";
  } catch (const platform::SystemError& error) {
    EXPECT_NE(std::string(error.what()).find("SKYHAUL.log"), std::string::npos);
  }
}

}  // namespace
}  // namespace skyhaul::test
