// The options in front of the job command, one row per way of starting the program.
#include "job/CommandLine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/CommaLocale.h"

namespace skyhaul::job {
namespace {

struct OptionCase {
  const char* name;
  std::vector<const char*> arguments;  // after the program's name
  StartAction action;
  std::optional<std::string> settingsPath;
  std::string commandLine;
  std::string inMessage;  // for a usage error: a part of its message
  bool dryRun = false;
  bool verbose = false;
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

class CommandLineTable : public ::testing::TestWithParam<OptionCase> {};

TEST_P(CommandLineTable, TellsWhatToDo) {
  const OptionCase& row = GetParam();
  std::vector<const char*> argv{"/usr/bin/skyhaul"};
  argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
  argv.push_back(nullptr);

  const StartRequest request = parseCommandLine(static_cast<int>(argv.size() - 1), argv.data());

  EXPECT_EQ(request.action, row.action);
  EXPECT_EQ(request.settingsPath, row.settingsPath);
  EXPECT_EQ(request.commandLine, row.commandLine);
  EXPECT_EQ(request.dryRun, row.dryRun);
  EXPECT_EQ(request.verbose, row.verbose);
  if (row.action == StartAction::UsageError) {
    EXPECT_NE(request.message.find(row.inMessage), std::string::npos) << request.message;
  } else {
    EXPECT_EQ(request.message, "");
  }
}

constexpr auto kRun = StartAction::Run;
constexpr auto kHelp = StartAction::Help;
constexpr auto kVersion = StartAction::Version;
constexpr auto kUsage = StartAction::UsageError;
const std::optional<std::string> kNone;

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTable,
    ::testing::Values(
        OptionCase{"Nothing", {}, kRun, kNone, "", ""},
        OptionCase{
            "WordsJoinedWithBlanks", {"nocna", "a b.txt,UP"}, kRun, kNone, "nocna a b.txt,UP", ""},
        OptionCase{"Help", {"--help"}, kHelp, kNone, "", ""},
        OptionCase{"ShortHelpBeforeACommand", {"-h", "*.txt,UP"}, kHelp, kNone, "", ""},
        OptionCase{"VersionBeforeACommand", {"--version", "*.txt,UP"}, kVersion, kNone, "", ""},
        OptionCase{
            "VersionAfterSettings", {"--settings", "a.ini", "--version"}, kVersion, kNone, "", ""},
        OptionCase{"SettingsThenCommand",
                   {"--settings", "/etc/skyhaul/nocna.ini", "nocna"},
                   kRun,
                   "/etc/skyhaul/nocna.ini",
                   "nocna",
                   ""},
        OptionCase{"SettingsWithEquals",
                   {"--settings=rel/a.ini", "*.csv,DOWN", "DEL"},
                   kRun,
                   "rel/a.ini",
                   "*.csv,DOWN DEL",
                   ""},
        OptionCase{"SettingsTakesTheNextWordWhateverItIs",
                   {"--settings", "--help", "x,UP"},
                   kRun,
                   "--help",
                   "x,UP",
                   ""},
        OptionCase{
            "LastSettingsWins", {"--settings=a.ini", "--settings", "b.ini"}, kRun, "b.ini", "", ""},
        OptionCase{"SettingsWithoutFile", {"--settings"}, kUsage, kNone, "", "--settings"},
        OptionCase{"SettingsWithEmptyFile", {"--settings="}, kUsage, kNone, "", "--settings"},
        OptionCase{"SettingsWithEmptyNextWord",
                   {"--settings", "", "x,UP"},
                   kUsage,
                   kNone,
                   "",
                   "--settings"},
        OptionCase{"UnknownOption", {"--x", "*.txt,UP"}, kUsage, kNone, "", "\"--x\""},
        OptionCase{"SettingsPrefixIsNoOption",
                   {"--settingsa.ini"},
                   kUsage,
                   kNone,
                   "",
                   "\"--settingsa.ini\""},
        OptionCase{"UnknownAfterSettings",
                   {"--settings", "a.ini", "--quiet"},
                   kUsage,
                   kNone,
                   "",
                   "\"--quiet\""},
        OptionCase{"DashDashAlone", {"--"}, kRun, kNone, "", ""},
        OptionCase{"DashDashThenOptionLikeCommand",
                   {"--", "--help", "--x"},
                   kRun,
                   kNone,
                   "--help --x",
                   ""},
        OptionCase{
            "SettingsThenDashDash", {"--settings", "a.ini", "--", "--"}, kRun, "a.ini", "--", ""},
        OptionCase{"MaskStartingWithOneDash",
                   {"-x.txt,UP", "--help"},
                   kRun,
                   kNone,
                   "-x.txt,UP --help",
                   ""},
        OptionCase{"SingleDash", {"-"}, kRun, kNone, "-", ""},
        OptionCase{"DryRunAndVerbose",
                   {"--dry-run", "--settings", "a.ini", "--verbose", "x,UP"},
                   kRun,
                   "a.ini",
                   "x,UP",
                   "",
                   true,
                   true},
        OptionCase{"ShortDashesAreACommand", {"-n", "-v"}, kRun, kNone, "-n -v", ""},
        OptionCase{"DryRunTakesNoValue", {"--dry-run=1"}, kUsage, kNone, "", "--dry-run"},
        OptionCase{"OptionsOnlyBeforeTheCommand",
                   {"*.txt,UP", "--version"},
                   kRun,
                   kNone,
                   "*.txt,UP --version",
                   ""}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

// A locale with a decimal comma must not turn 2.5 into 2 or nothing; out of range is no value.
TEST(ParseTimeout, SecondsFromOneToADay) {
  const std::vector<std::pair<const char*, long long>> cases = {
      {"60", 60000}, {"2.5", 2500}, {"1", 1000},  {"86400", 86400000}, {"0", -1}, {"0.5", -1},
      {"86401", -1}, {"1e9", -1},   {"2,5", -1},  {"abc", -1},         {"", -1},  {"-5", -1},
      {"nan", -1},   {"inf", -1},   {"30 s", -1}, {" 30", -1}};
  for (const bool comma : {false, true}) {
    std::optional<test::CommaLocale> locale;
    if (comma) locale.emplace();
    for (const auto& [text, milliseconds] : cases) {
      const auto bound = parseTimeout(text);
      EXPECT_EQ(bound ? bound->count() : -1, milliseconds) << text << (comma ? " (1,5)" : "");
    }
  }
}

}  // namespace
}  // namespace skyhaul::job
