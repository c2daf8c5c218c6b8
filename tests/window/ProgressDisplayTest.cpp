#include "window/ProgressDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "WindowDoubles.h"
#include "form/FrmUpdate.h"
#include "support/CommaLocale.h"
#include "support/FakeClock.h"
#include "window/NumberText.h"

namespace skyhaul::window {
namespace {

using test::CommaLocale;

using test::FakeClock;
using test::FakeProgramEnd;
using test::ProgramEnded;

struct Event {
  double clock;
  std::int64_t current;
  std::int64_t total;
};

// What the display shows after the events; an empty expectation is not checked.
struct Shown {
  std::string hover;
  std::string label7;
  std::string label9;
  std::string label10;
  std::string label11;
  std::string caption;
};

struct DisplayCase {
  const char* name;
  float transferStart;
  bool minimized;
  std::vector<Event> events;
  Shown shown;
};

void PrintTo(const DisplayCase& c, std::ostream* os) { *os << c.name; }

class ProgressDisplayTest : public ::testing::Test {
 protected:
  ProgressDisplayTest() {
    form.attach(&view);
    form.TransferStart = 36000.0F;
  }

  void event(double clockSeconds, std::int64_t current, std::int64_t total) {
    clock.setSecondsSinceMidnight(clockSeconds);
    display.mFTP_FileTransferProgress(current, total);
  }

  void expectShown(const Shown& shown) {
    expectText(form.PB.toolTipText(), shown.hover, "hover text");
    expectText(form.Label7.text(), shown.label7, "Label7");
    expectText(form.Label9.text(), shown.label9, "Label9");
    expectText(form.Label10.text(), shown.label10, "Label10");
    expectText(form.Label11.text(), shown.label11, "Label11");
    expectText(form.Caption.text(), shown.caption, "caption");
  }

  static void expectText(const std::string& actual, const std::string& expected,
                         const char* field) {
    if (!expected.empty()) {
      EXPECT_EQ(actual, expected) << field;
    }
  }

  FakeProgramEnd programEnd;
  form::FrmUpdate form{programEnd};
  FakeView view;
  FakeClock clock;
  ProgressDisplay display{form, view, clock};
};

class ProgressDisplayTable : public ProgressDisplayTest,
                             public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(ProgressDisplayTable, ShowsTheTransfer) {
  form.TransferStart = GetParam().transferStart;
  view.minimized = GetParam().minimized;
  for (const Event& e : GetParam().events) event(e.clock, e.current, e.total);
  expectShown(GetParam().shown);
}

const Event kFirst{36002.0, 123456, 1000000};
const Event kSecond{36008.0, 500000, 1000000};
const Event kLast{36010.0, 1000000, 1000000};

INSTANTIATE_TEST_SUITE_P(
    Transfers, ProgressDisplayTable,
    ::testing::Values(
        DisplayCase{"FirstEventOfTheRun",
                    36000.0F,
                    false,
                    {kFirst},
                    {"123456 Bytes od 1000000 Bytes Prenešeno ", "120 KB od 976 KB Prenešeno", "0%",
                     "61.73 Kbps", "Do konca še: 00:00:13", "FTP prenos"}},
        DisplayCase{"SecondEventLagsOneBehind",
                    36000.0F,
                    false,
                    {kFirst, kSecond},
                    {"500000 Bytes od 1000000 Bytes Prenešeno ", "488 KB od 976 KB Prenešeno",
                     "12%", "62.50 Kbps", "Do konca še: 00:00:07", "FTP prenos"}},
        DisplayCase{"FinalEventShowsAll",
                    36000.0F,
                    true,
                    {kFirst, kSecond, kLast},
                    {"1000000 Bytes od 1000000 Bytes Prenešeno ", "976 KB od 976 KB Prenešeno",
                     "100%", "100.00 Kbps", "Do konca še: 00:00:00", "FTP prenos 50%"}},
        DisplayCase{"MinimisedCaptionLags",
                    36000.0F,
                    true,
                    {kFirst, kSecond},
                    {"", "", "12%", "", "", "FTP prenos 12%"}},
        DisplayCase{
            "ExponentFormFromTenMillion",
            36000.0F,
            false,
            {{36001.0, 12345678, 20000000}},
            {"1.234568E+07 Bytes od 2E+07 Bytes Prenešeno ", "12056 KB od 19531 KB Prenešeno", "0%",
             "12345.68 Kbps", "Do konca še: 00:00:00", ""}},
        DisplayCase{"SixtySecondsLeft",
                    36000.0F,
                    false,
                    {{36001.0, 1000, 62440}},
                    {"", "", "", "1.00 Kbps", "Do konca še: 00:01:00", ""}},
        DisplayCase{"RateHalvesAwayFromZero",
                    36000.0F,
                    false,
                    {{36001.0, 62505, 1000000}},
                    {"", "", "", "62.51 Kbps", "", ""}},
        DisplayCase{"PercentHalvesToEvenDown",
                    36000.0F,
                    false,
                    {{36001.0, 125, 1000}, {36002.0, 500, 1000}},
                    {"", "", "12%", "", "", ""}},
        DisplayCase{"PercentHalvesToEvenUp",
                    36000.0F,
                    false,
                    {{36001.0, 135, 1000}, {36002.0, 500, 1000}},
                    {"", "", "14%", "", "", ""}},
        DisplayCase{"AcrossMidnight",
                    86390.0F,
                    false,
                    {{5.0, 150000, 300000}},
                    {"", "", "", "10.00 Kbps", "Do konca še: 00:00:14", ""}},
        DisplayCase{"FilesOverTwoGibibytes",
                    36000.0F,
                    false,
                    {{36100.0, 2147483904, 3221225472}},
                    {"2.147484E+09 Bytes od 3.221225E+09 Bytes Prenešeno ",
                     "2097152 KB od 3145728 KB Prenešeno", "0%", "21474.84 Kbps",
                     "Do konca še: 00:00:48", ""}},
        DisplayCase{"BarRefusesAPositionPastTheEnd",
                    36000.0F,
                    false,
                    {{36001.0, 2000, 1000}},
                    {"0 Bytes od 1000 Bytes Prenešeno ", "0 KB od 0 KB Prenešeno", "0%",
                     "2.00 Kbps", "Do konca še: 00:00:00", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgressDisplayTest, RateIsThousandsOfBytesPerSecondToTwoDecimals) {
  event(36002.0, 123456, 1000000);
  EXPECT_FLOAT_EQ(form.TransferRate, 61.73F);
  event(36008.0, 500000, 1000000);
  EXPECT_FLOAT_EQ(form.TransferRate, 62.5F);
}

TEST_F(ProgressDisplayTest, NextFileStartsFromTheLastPositionAgainstTheNewMaximum) {
  event(36002.0, 1000000, 1000000);
  form.TransferStart = 36010.0F;
  event(36011.0, 255, 4000000);
  EXPECT_EQ(form.Label9.text(), "25%");
  EXPECT_EQ(form.Label7.text(), "0 KB od 3906 KB Prenešeno");
}

TEST_F(ProgressDisplayTest, SmallerNextFilePullsThePositionDown) {
  event(36002.0, 1000000, 1000000);
  event(36011.0, 255, 500000);
  EXPECT_EQ(form.Label9.text(), "100%");
  EXPECT_EQ(form.PB.value(), 255.0F);
}

TEST_F(ProgressDisplayTest, NoElapsedTimeKeepsTheRate) {
  event(36000.0, 1000, 10000);
  EXPECT_EQ(form.TransferRate, 0.0F);
  EXPECT_EQ(form.Label10.text(), ".00 Kbps");
  event(36002.0, 4000, 10000);
  ASSERT_FLOAT_EQ(form.TransferRate, 2.0F);
  form.TransferStart = 36004.0F;  // the next file starts within the clock's resolution
  event(36004.0, 6000, 10000);
  EXPECT_FLOAT_EQ(form.TransferRate, 2.0F);
  EXPECT_EQ(form.Label10.text(), "2.00 Kbps");
  EXPECT_EQ(form.Label7.text(), "5 KB od 9 KB Prenešeno");
}

TEST_F(ProgressDisplayTest, NoRateKeepsTheTimeLeft) {
  form.Label11.setText("INTERNET CLOSE");
  event(36000.0, 1000, 10000);
  EXPECT_EQ(form.Label11.text(), "INTERNET CLOSE");
  EXPECT_EQ(form.Label7.text(), "0 KB od 9 KB Prenešeno");
  EXPECT_EQ(form.Label9.text(), "0%");
}

// An empty file: the percentage cannot be computed, so step 17 alone sets the label.
TEST_F(ProgressDisplayTest, NoMaximumKeepsPercentageAndCaption) {
  view.minimized = true;
  event(36002.0, 500, 1000);
  ASSERT_EQ(form.Caption.text(), "FTP prenos 0%");
  view.changes.clear();
  form.TransferStart = 36003.0F;
  event(36004.0, 0, 0);
  EXPECT_EQ(form.Caption.text(), "FTP prenos 0%");
  EXPECT_EQ(std::count(view.changes.begin(), view.changes.end(), form::FieldId::Caption), 0);
  EXPECT_EQ(std::count(view.changes.begin(), view.changes.end(), form::FieldId::Label9), 1);
  EXPECT_EQ(form.Label9.text(), "100%");
  EXPECT_EQ(form.Label7.text(), "0 KB od 0 KB Prenešeno");
}

TEST_F(ProgressDisplayTest, CaptionChangesOnlyWhileMinimised) {
  event(36002.0, 500, 1000);
  event(36003.0, 700, 1000);
  EXPECT_EQ(form.Caption.text(), form::kInitialCaption);
  view.minimized = true;
  event(36004.0, 900, 1000);
  EXPECT_EQ(form.Caption.text(), "FTP prenos 70%");
  view.minimized = false;
  event(36005.0, 1000, 1000);
  EXPECT_EQ(form.Caption.text(), "FTP prenos 70%");
}

// What each yield lets the window show: the steps between two yields have all run.
TEST_F(ProgressDisplayTest, YieldsFiveTimesBetweenTheRightSteps) {
  view.minimized = true;
  std::vector<std::string> seen;
  view.onYield = [&](int) {
    seen.push_back(std::to_string(static_cast<long>(form.PB.max())) + "|" +
                   std::to_string(static_cast<long>(form.PB.value())) + "|" +
                   form.PB.toolTipText() + "|" + form.Label7.text() + "|" + form.Label9.text() +
                   "|" + form.Caption.text() + "|" + form.Label10.text());
  };
  event(36002.0, 123456, 1000000);
  EXPECT_EQ(view.yields, 5);
  const std::string hover = "123456 Bytes od 1000000 Bytes Prenešeno ";
  const std::string kilobytes = "120 KB od 976 KB Prenešeno";
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "1000000|0||||FTP prenos|",
                      "1000000|123456||||FTP prenos|",
                      "1000000|123456|" + hover + "|||FTP prenos|",
                      "1000000|123456|" + hover + "|" + kilobytes + "||FTP prenos|",
                      "1000000|123456|" + hover + "|" + kilobytes + "|0%|FTP prenos 0%|",
                  }));
  event(36003.0, 123456, 1000000);
  EXPECT_EQ(view.yields, 10);
}

TEST_F(ProgressDisplayTest, EveryEventYieldsEvenWhenStepsFail) {
  for (int i = 0; i < 100; ++i) event(36000.0, i, 0);
  EXPECT_EQ(view.yields, 500);
}

TEST_F(ProgressDisplayTest, ClosingDuringAnEventStopsItThere) {
  view.onYield = [&](int yield) {
    if (yield == 3) form.Command3_Click();
  };
  EXPECT_THROW(event(36002.0, 123456, 1000000), ProgramEnded);
  EXPECT_EQ(form.PB.toolTipText(), "123456 Bytes od 1000000 Bytes Prenešeno ");
  EXPECT_EQ(form.Label7.text(), "");
  EXPECT_EQ(view.yields, 3);
}

// The rate goes through its "####.00" text and back; the display may take a shorter way only
// where it gives the very same number.
class RateRounding : public ProgressDisplayTest,
                     public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(RateRounding, IsTheRateReadBackFromItsText) {
  event(36001.0, GetParam(), GetParam());  // one second: bytes per second = bytes
  const auto viaText =
      readTwoDecimals(twoDecimalsText(static_cast<double>(GetParam()) / 1000.0, "."), ".");
  ASSERT_TRUE(viaText.has_value());
  EXPECT_EQ(form.TransferRate, static_cast<float>(*viaText)) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(ByteCounts, RateRounding,
                         ::testing::Values<std::int64_t>(0, 4, 5, 6, 15, 25, 62505, 62515, 99995,
                                                         123456789, 2147483647, 999999999999995,
                                                         1000000000000005, 4611686018427387904));

TEST_F(ProgressDisplayTest, TextsReadLaterShowTheEventsSeparator) {
  {
    const CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma can be built here";
    event(36002.0, 12345678, 20000000);
  }
  EXPECT_EQ(form.Label10.text(), "6172,84 Kbps");
  EXPECT_EQ(form.PB.toolTipText(), "1,234568E+07 Bytes od 2E+07 Bytes Prenešeno ");
}

TEST_F(ProgressDisplayTest, ATextSetAfterAnEventReplacesItsText) {
  event(36002.0, 123456, 1000000);
  form.Label11.setText("Konec.");
  EXPECT_EQ(form.Label11.text(), "Konec.");
  event(36003.0, 500000, 1000000);
  EXPECT_EQ(form.Label11.text(), "Do konca še: 00:00:02");
}

TEST_F(ProgressDisplayTest, TextsReadBetweenEventsShowEachEvent) {
  event(36002.0, 123456, 1000000);
  EXPECT_EQ(form.Label7.text(), "120 KB od 976 KB Prenešeno");
  event(36008.0, 500000, 1000000);
  EXPECT_EQ(form.Label7.text(), "488 KB od 976 KB Prenešeno");
  EXPECT_EQ(form.Label9.text(), "12%");
}

TEST_F(ProgressDisplayTest, TextsUseTheUsersDecimalSeparator) {
  const CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma can be built here";
  event(36002.0, 123456, 1000000);
  EXPECT_FLOAT_EQ(form.TransferRate, 61.73F);
  EXPECT_EQ(form.Label10.text(), "61,73 Kbps");
  EXPECT_EQ(form.Label11.text(), "Do konca še: 00:00:13");
  event(36003.0, 12345678, 20000000);
  EXPECT_EQ(form.PB.toolTipText(), "1,234568E+07 Bytes od 2E+07 Bytes Prenešeno ");
}

}  // namespace
}  // namespace skyhaul::window
