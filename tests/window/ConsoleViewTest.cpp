#include "window/ConsoleView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "form/FrmUpdate.h"
#include "support/FakeClock.h"
#include "window/ProgressDisplay.h"
#include "window/TerminalText.h"

namespace skyhaul::window {
namespace {

using std::chrono::milliseconds;
using test::FakeProgramEnd;

constexpr const char* kClear = "\x1b[K";

class ConsoleViewTest : public ::testing::Test {
 protected:
  ConsoleView makeView(bool inputIsTerminal, bool errorsIsTerminal) {
    return ConsoleView(form, input, errors, inputIsTerminal, errorsIsTerminal, [this] {
      ++clockReadings;
      return now;
    });
  }

  void showProgress(const std::string& kilobytes, const std::string& percent) {
    form.Label7.setText(kilobytes);
    form.Label9.setText(percent);
  }

  FakeProgramEnd programEnd;
  form::FrmUpdate form{programEnd};
  std::istringstream input;
  std::ostringstream errors;
  std::chrono::steady_clock::time_point now{};
  int clockReadings = 0;
};

TEST_F(ConsoleViewTest, StatusLinesNameTheFile) {
  ConsoleView view(form, input, errors, false, false);
  form.Label3.setText("Status:");
  form.Textimedat.setText("a.txt");
  form.Label3.setText("Status: prenos na strežnik...");
  form.Label3.setText("Status: prenos na strežnik...");
  form.Textimedat.setText("b.txt");
  form.Label3.setText("Status: Prenos je končan.");
  EXPECT_EQ(errors.str(),
            "Status:\n"
            "a.txt: Status: prenos na strežnik...\n"
            "a.txt: Status: prenos na strežnik...\n"
            "b.txt: Status: Prenos je končan.\n");
}

TEST_F(ConsoleViewTest, WithoutATerminalThereIsNoMeter) {
  ConsoleView view(form, input, errors, false, false);
  form.Textimedat.setText("a.txt");
  for (int i = 0; i < 20; ++i) {
    showProgress(std::to_string(i) + " KB od 20 KB Prenešeno", std::to_string(i * 5) + "%");
    form.Label11.setText("Do konca še: 00:00:01");
    view.yield();
  }
  form.Label3.setText("Status: Prenos je končan.");
  EXPECT_EQ(errors.str(), "a.txt: Status: Prenos je končan.\n");
}

TEST_F(ConsoleViewTest, MeterShowsTheWindowsTexts) {
  ConsoleView view(form, input, errors, false, true);
  form.Textimedat.setText("a.txt");
  form.Label7.setText("120 KB od 976 KB Prenešeno");
  form.Label9.setText("0%");
  form.Label10.setText("61.73 Kbps");
  form.Label11.setText("Do konca še: 00:00:13");
  view.yield();
  EXPECT_EQ(errors.str(), std::string("\ra.txt: 120 KB od 976 KB Prenešeno  0%  61.73 Kbps  ") +
                              "Do konca še: 00:00:13" + kClear);
}

TEST_F(ConsoleViewTest, MeterRedrawsAtMostTenTimesASecond) {
  ConsoleView view = makeView(false, true);
  form.Textimedat.setText("a.txt");
  int draws = 0;
  for (int i = 0; i < 100; ++i) {  // one second of events, 10 ms apart
    const auto before = errors.str().size();
    showProgress(std::to_string(i) + " KB", "x");
    view.yield();
    view.yield();
    if (errors.str().size() != before) ++draws;
    now += milliseconds(10);
  }
  EXPECT_EQ(draws, 10);
  EXPECT_NE(errors.str().find("\ra.txt: 90 KB  x"), std::string::npos);
  EXPECT_EQ(errors.str().find("\ra.txt: 95 KB  x"), std::string::npos);
}

TEST_F(ConsoleViewTest, YieldWithoutChangesDrawsNothingAndReadsNoClock) {
  ConsoleView view = makeView(false, true);
  for (int i = 0; i < 50; ++i) view.yield();
  EXPECT_EQ(errors.str(), "");
  EXPECT_EQ(clockReadings, 0);
}

TEST_F(ConsoleViewTest, MeterLineEndsWithItsLastStateBeforeAStatusLine) {
  ConsoleView view = makeView(false, true);
  form.Textimedat.setText("a.txt");
  showProgress("1 KB", "0%");
  view.yield();
  showProgress("2 KB", "50%");  // too soon to draw
  view.yield();
  form.Label11.setText("INTERNET CLOSE");
  form.Label3.setText("Status: Prenos je končan.");
  EXPECT_EQ(errors.str(), std::string("\ra.txt: 1 KB  0%  Do konca še: 00:00:00") + kClear +
                              "\ra.txt: 2 KB  50%  INTERNET CLOSE" + kClear + "\n" +
                              "a.txt: Status: Prenos je končan.\n");
}

TEST_F(ConsoleViewTest, MeterLineEndsWhenTheFileChanges) {
  ConsoleView view = makeView(false, true);
  form.Textimedat.setText("a.txt");
  showProgress("1 KB", "0%");
  view.yield();
  form.Textimedat.setText("b.txt");
  showProgress("3 KB", "0%");
  view.yield();  // a new line is drawn at once, however soon
  EXPECT_EQ(errors.str(), std::string("\ra.txt: 1 KB  0%  Do konca še: 00:00:00") + kClear +
                              "\n\rb.txt: 3 KB  0%  Do konca še: 00:00:00" + kClear);
}

TEST_F(ConsoleViewTest, ErrorsEndTheMeterLineFirst) {
  ConsoleView view = makeView(false, true);
  showProgress("1 KB", "0%");
  view.yield();
  view.reportUnhandledError("dnevnika ni mogoče pisati");
  EXPECT_EQ(errors.str(), std::string("\r1 KB  0%  Do konca še: 00:00:00") + kClear +
                              "\nNapaka: dnevnika ni mogoče pisati\n");
}

TEST_F(ConsoleViewTest, OpenMeterLineIsEndedWhenTheViewGoes) {
  {
    ConsoleView view = makeView(false, true);
    showProgress("1 KB", "0%");
    view.yield();
  }
  EXPECT_EQ(errors.str().back(), '\n');
  form.Label3.setText("Status:");  // nobody listens any more
  EXPECT_EQ(errors.str().find("Status"), std::string::npos);
}

// Nobody watches a run without a terminal: only what a person must act on is printed, each
// status one line, whatever line ends a server's reply in it had.
TEST_F(ConsoleViewTest, AQuietViewPrintsOnlyWhatNeedsActing) {
  ConsoleView view(form, input, errors, false, false, &std::chrono::steady_clock::now, true);
  form.Textimedat.setText("a.txt");
  for (const char* status : {"Status: prenos na strežnik...", "553 Could not create file.\r\n",
                             "Status: prenos na strežnik...", "Status: Prenos je končan.",
                             "Status napaka:553 Could not create file.\r\n"}) {
    form.Label3.setText(status);
  }
  view.notice("Opozorilo: nastavitev ni.");
  view.detail("Prijavljen kot ftpjob.");
  view.reportUnhandledError("dnevnika ni mogoče pisati");
  EXPECT_EQ(errors.str(),
            "a.txt: 553 Could not create file.\n"
            "a.txt: Status napaka:553 Could not create file.\n"
            "Opozorilo: nastavitev ni.\n"
            "Napaka: dnevnika ni mogoče pisati\n");
}

// A paced meter would stand still on an older state through the wait that follows.
TEST_F(ConsoleViewTest, TheYieldBeforeAWaitDrawsAtOnce) {
  ConsoleView view = makeView(false, true);
  form.Textimedat.setText("a.txt");
  showProgress("1 KB", "0%");
  view.yield();
  showProgress("2 KB", "100%");
  view.yield();  // too soon
  view.yieldBeforeWait();
  EXPECT_TRUE(
      errors.str().ends_with("\ra.txt: 2 KB  100%  Do konca še: 00:00:00" + std::string(kClear)))
      << errors.str();
}

TEST_F(ConsoleViewTest, TheMeterNeverWraps) {
  int columns = 60;
  ConsoleView view(
      form, input, errors, false, true, [this] { return now; }, false,
      [&columns] { return columns; });
  form.Textimedat.setText("porocilo-za-mesec-november-2026.csv");
  showProgress("120 KB od 976 KB", "12%");
  view.yield();
  EXPECT_EQ(errors.str(), std::string("\rporoci…26.csv: 120 KB od 976 KB  12%  ") +
                              "Do konca še: 00:00:00" + kClear);
}

TEST(FitMeterLine, TheFileNameGivesWayFirst) {
  struct Case {
    const char* file;
    const char* figures;
    int columns;
    const char* line;
  };
  for (const Case& c : std::vector<Case>{
           {"a.txt", "1 KB  5%", 0, "a.txt: 1 KB  5%"},
           {"a.txt", "1 KB  5%", 16, "a.txt: 1 KB  5%"},
           {"abcdefghij.txt", "1 KB  5%", 20, "abcd….txt: 1 KB  5%"},
           {"čšžčšžčšžč.txt", "1 KB", 16, "čšžč….txt: 1 KB"},
           {"abcdefghij.txt", "1 KB od 976 KB  5%", 20, "1 KB od 976 KB  5%"},
           {"abcdefghij.txt", "1 KB od 976 KB  50%", 12, "1 KB od 976"},
           {"", "1 KB", 3, "1 "},
       }) {
    EXPECT_EQ(fitMeterLine(c.file, c.figures, c.columns), c.line) << c.file << " " << c.columns;
  }
}

TEST_F(ConsoleViewTest, InputBoxAsksOnATerminal) {
  input.str("*.txt,UP,DEL\r\nnext\n");
  ConsoleView view(form, input, errors, true, false);
  EXPECT_EQ(view.inputBox("Ime datoteke za prenos:", "FTP prenos"), "*.txt,UP,DEL");
  EXPECT_EQ(errors.str(), "Ime datoteke za prenos: ");
  EXPECT_EQ(view.inputBox("Ime datoteke za prenos:", "FTP prenos"), "next");
  EXPECT_EQ(view.inputBox("Ime datoteke za prenos:", "FTP prenos"), "");  // end of input
}

TEST_F(ConsoleViewTest, InputBoxWithoutATerminalDoesNotRead) {
  input.str("*.txt,UP\n");
  ConsoleView view(form, input, errors, false, true);
  EXPECT_EQ(view.inputBox("Ime datoteke za prenos:", "FTP prenos"), "");
  EXPECT_EQ(errors.str(), "");
  std::string unread;
  std::getline(input, unread);
  EXPECT_EQ(unread, "*.txt,UP");
}

TEST_F(ConsoleViewTest, NeverMinimised) {
  ConsoleView view(form, input, errors, true, true);
  EXPECT_FALSE(view.isMinimized());
}

// The whole way from progress events to the terminal line.
TEST_F(ConsoleViewTest, FollowsTheProgressDisplay) {
  ConsoleView view = makeView(false, true);
  test::FakeClock clock;
  ProgressDisplay display(form, view, clock);
  form.TransferStart = 36000.0F;
  form.Textimedat.setText("a.txt");
  clock.setSecondsSinceMidnight(36002.0);
  display.mFTP_FileTransferProgress(123456, 1000000);
  now += milliseconds(200);
  clock.setSecondsSinceMidnight(36008.0);
  display.mFTP_FileTransferProgress(500000, 1000000);
  form.Label3.setText("Status: Prenos je končan.");
  // The first yield of an event shows what the event before it left.
  const std::string first = std::string("\ra.txt: 120 KB od 976 KB Prenešeno  0%  61.73 Kbps  ") +
                            "Do konca še: 00:00:13" + kClear;
  const std::string second = std::string("\ra.txt: 488 KB od 976 KB Prenešeno  12%  62.50 Kbps  ") +
                             "Do konca še: 00:00:07" + kClear + "\n";
  EXPECT_NE(errors.str().find(first), std::string::npos);
  EXPECT_NE(errors.str().find(second + "a.txt: Status: Prenos je končan.\n"), std::string::npos);
}

}  // namespace
}  // namespace skyhaul::window
