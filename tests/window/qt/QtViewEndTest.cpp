// "Zapri" and closing the window end the program; the modal input box and the error report.

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTest>

#include "ViewTestSupport.h"

namespace skyhaul::test {
namespace {

using platform::ExitStatus;

// Yields until the program ends; the status it ended with, or nothing when it did not end in time.
std::optional<ExitStatus> yieldUntilEnd(window::QtView& view) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < kWaitLimit.count()) {
    try {
      view.yield();
    } catch (const ProgramEnded& ended) {
      return ended.status;
    }
  }
  return std::nullopt;
}

TEST_F(QtViewTest, YieldingAloneDoesNotEndTheProgram) {
  for (int i = 0; i < 1000; ++i) EXPECT_NO_THROW(view_.yield());
}

TEST_F(QtViewTest, ZapriEndsTheProgramWithStatus3) {
  QTest::mouseClick(&widget<QPushButton>("Command3"), Qt::LeftButton);
  EXPECT_EQ(yieldUntilEnd(view_), ExitStatus::ClosedByUser);
}

TEST_F(QtViewTest, AClickQueuedWhileTheJobRunsEndsItAtTheNextYields) {
  QMetaObject::invokeMethod(&widget<QPushButton>("Command3"), "click", Qt::QueuedConnection);
  EXPECT_EQ(yieldUntilEnd(view_), ExitStatus::ClosedByUser);
}

TEST_F(QtViewTest, ClosingTheWindowEndsTheProgramWithStatus3) {
  view_.window().close();
  EXPECT_TRUE(view_.window().isVisible());  // the program ends, not just the window
  EXPECT_EQ(yieldUntilEnd(view_), ExitStatus::ClosedByUser);
}

TEST_F(QtViewTest, TheInputBoxReturnsWhatIsTypedUntrimmed) {
  QString title;
  QString prompt;
  DialogAnswer<QInputDialog> answer([&](QInputDialog& dialog) {
    title = dialog.windowTitle();
    prompt = dialog.labelText();
    auto* edit = dialog.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral(" izvoz,*.txt,DOWN "));
    QTest::keyClick(edit, Qt::Key_Return);
  });
  EXPECT_EQ(view_.inputBox("Ime datoteke za prenos:", "Prenos"), " izvoz,*.txt,DOWN ");
  EXPECT_TRUE(answer.answered());
  EXPECT_EQ(title, QStringLiteral("Prenos"));
  EXPECT_EQ(prompt, QStringLiteral("Ime datoteke za prenos:"));
}

TEST_F(QtViewTest, TheInputBoxStartsEmptyAndTakesLongCommands) {
  const QString command = QString(40000, QLatin1Char('x')) + QStringLiteral(",UP");
  bool startedEmpty = false;
  DialogAnswer<QInputDialog> answer([&](QInputDialog& dialog) {
    startedEmpty = dialog.textValue().isEmpty();
    dialog.setTextValue(command);
    dialog.accept();
  });
  EXPECT_EQ(view_.inputBox("Ime datoteke za prenos:", "Prenos"), command.toStdString());
  EXPECT_TRUE(startedEmpty);
}

TEST_F(QtViewTest, CancellingTheInputBoxGivesTheEmptyText) {
  DialogAnswer<QInputDialog> answer([](QInputDialog& dialog) {
    dialog.setTextValue(QStringLiteral("kar nekaj"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_EQ(view_.inputBox("Ime datoteke za prenos:", "Prenos"), "");
  EXPECT_TRUE(answer.answered());
}

TEST_F(QtViewTest, TheInputBoxIsModal) {
  bool modal = false;
  DialogAnswer<QInputDialog> answer([&](QInputDialog& dialog) {
    modal = dialog.isModal();
    dialog.reject();
  });
  view_.inputBox("Ime datoteke za prenos:", "Prenos");
  EXPECT_TRUE(modal);
}

TEST_F(QtViewTest, AnUnhandledErrorIsReportedInACriticalMessageBox) {
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  DialogAnswer<QMessageBox> answer([&](QMessageBox& box) {
    text = box.text();
    icon = box.icon();
    QTest::keyClick(&box, Qt::Key_Return);
  });
  view_.reportUnhandledError("Datoteke C:\\<tmp>\\a.txt ni mogoče izbrisati");
  EXPECT_TRUE(answer.answered());
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(text, QString::fromUtf8("Datoteke C:\\<tmp>\\a.txt ni mogoče izbrisati"));
}

}  // namespace
}  // namespace skyhaul::test
