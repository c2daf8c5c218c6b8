// What the widgets show of the fields, and what the user's edits do to the fields.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "ViewTestSupport.h"
#include "window/qt/BarScale.h"

namespace skyhaul::test {
namespace {

using form::FrmUpdate;
using form::TextField;

QString q(const std::string& text) { return QString::fromStdString(text); }

// The text a field's widget shows, whatever kind of widget it is.
QString shownText(QWidget& widget) {
  if (auto* edit = qobject_cast<QLineEdit*>(&widget)) return edit->text();
  if (auto* queue = qobject_cast<QPlainTextEdit*>(&widget)) return queue->toPlainText();
  if (auto* label = qobject_cast<QLabel*>(&widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(&widget)) return button->text();
  return QStringLiteral("<not a text widget>");
}

struct InitialText {
  const char* widget;
  const char* text;
};

TEST_F(QtViewTest, ShowsTheInitialContentsOfTheFields) {
  const std::vector<InitialText> expected{
      {"textURL", ""},
      {"textDIR", ""},
      {"textLDIR", ""},
      {"Text1", ""},
      {"Tdir", ""},
      {"Textimedat", ""},
      {"Label3", "Status:"},
      {"Label11", "Do konca še: 00:00:00"},
      {"Label7", ""},
      {"Label9", ""},
      {"Label10", ""},
      {"Label1", "Strežnik:"},
      {"Label2", "Začetni imenik  na FTP strežniku:"},
      {"Label5", "Lokalni imenik:"},
      {"Label4", "Datoteka ki se prenaša:"},
      {"Command3", "Zapri"},
      {"Chkbrisi", "Pobriši izvor po prenosu"},
  };
  for (const auto& [name, text] : expected) {
    EXPECT_EQ(shownText(widget<QWidget>(name)), QString::fromUtf8(text)) << name;
  }
  EXPECT_FALSE(widget<QCheckBox>("Chkbrisi").isChecked());
  EXPECT_EQ(view_.window().windowTitle(), QStringLiteral("FTP prenos"));
  const auto& bar = widget<QProgressBar>("PB");
  EXPECT_EQ(bar.value(), 0);
  EXPECT_TRUE(bar.toolTip().isEmpty());
}

TEST(QtViewStart, ShowsWhatTheFieldsHoldWhenTheViewIsCreated) {
  QtArguments arguments;
  FakeProgramEnd programEnd;
  form::FrmUpdate form(programEnd);
  form.textURL.setText("ftp.example.org");
  form.Tdir.setText("a.txt,b.txt");
  form.Chkbrisi.setValue(1);
  form.Caption.setText("FTP prenos 40%");
  window::QtView view(form, arguments.argc, arguments.argv);
  QWidget& window = view.window();
  EXPECT_EQ(window.findChild<QLineEdit*>("textURL")->text(), QStringLiteral("ftp.example.org"));
  EXPECT_EQ(window.findChild<QPlainTextEdit*>("Tdir")->toPlainText(),
            QStringLiteral("a.txt,b.txt"));
  EXPECT_TRUE(window.findChild<QCheckBox*>("Chkbrisi")->isChecked());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("FTP prenos 40%"));
}

TEST_F(QtViewTest, ShowsEveryTextFieldAfterTheJobChangesIt) {
  const std::vector<std::pair<form::TextField*, const char*>> fields{
      {&form_.textURL, "textURL"},   {&form_.textDIR, "textDIR"}, {&form_.textLDIR, "textLDIR"},
      {&form_.Text1, "Text1"},       {&form_.Tdir, "Tdir"},       {&form_.Textimedat, "Textimedat"},
      {&form_.Label3, "Label3"},     {&form_.Label11, "Label11"}, {&form_.Label7, "Label7"},
      {&form_.Label9, "Label9"},     {&form_.Label10, "Label10"}, {&form_.Label1, "Label1"},
      {&form_.Label2, "Label2"},     {&form_.Label5, "Label5"},   {&form_.Label4, "Label4"},
      {&form_.Command3, "Command3"},
  };
  // Each field gets a text of its own, with non-ASCII letters and look-alike markup.
  for (const auto& [field, name] : fields) field->setText(std::string("<b>č ") + name + " &ž");
  EXPECT_TRUE(yieldUntil([&] {
    for (const auto& [field, name] : fields) {
      if (shownText(widget<QWidget>(name)) != q(field->text())) return false;
    }
    return true;
  }));
  for (const auto& [field, name] : fields) {
    EXPECT_EQ(shownText(widget<QWidget>(name)).toStdString(), field->text()) << name;
  }
}

TEST_F(QtViewTest, ShowsTheCheckBoxTheCaptionAndTheBar) {
  form_.Chkbrisi.setValue(1);
  form_.Caption.setText("FTP prenos 12%");
  form_.PB.setMax(1000000.0F);
  form_.PB.setValue(250000.0F);
  form_.PB.setToolTipText("250000 Bytes od 1000000 Bytes Prenešeno ");
  auto& bar = widget<QProgressBar>("PB");
  const auto barShown = [&] {
    return (bar.value() - bar.minimum()) * 4 == bar.maximum() - bar.minimum();
  };
  EXPECT_TRUE(yieldUntil(barShown)) << bar.minimum() << " " << bar.value() << " " << bar.maximum();
  EXPECT_TRUE(widget<QCheckBox>("Chkbrisi").isChecked());
  EXPECT_EQ(view_.window().windowTitle(), QStringLiteral("FTP prenos 12%"));
  EXPECT_EQ(bar.toolTip(), QString::fromUtf8("250000 Bytes od 1000000 Bytes Prenešeno "));

  form_.Chkbrisi.setValue(0);
  form_.PB.setValue(1000000.0F);
  EXPECT_TRUE(yieldUntil([&] { return bar.value() == bar.maximum(); }));
  EXPECT_FALSE(widget<QCheckBox>("Chkbrisi").isChecked());
}

TEST_F(QtViewTest, ShowsTheLatestOfManyQuickChanges) {
  auto& label = widget<QLabel>("Label7");
  constexpr int kChanges = 20000;
  for (int i = 1; i <= kChanges; ++i) {
    form_.Label7.setText(std::to_string(i) + " KB");
    view_.yield();
  }
  EXPECT_TRUE(yieldUntil([&] { return label.text() == QStringLiteral("20000 KB"); }))
      << label.text().toStdString();
}

TEST_F(QtViewTest, TextsOfAnyLengthAreShownWhole) {
  std::string queue;
  for (int i = 0; i < 5000; ++i) queue += "datoteka" + std::to_string(i) + ".txt,";
  const std::string path(100000, 'p');
  form_.Tdir.setText(queue);
  form_.textLDIR.setText(path);
  auto& tdir = widget<QPlainTextEdit>("Tdir");
  auto& ldir = widget<QLineEdit>("textLDIR");
  EXPECT_TRUE(yieldUntil([&] { return !tdir.toPlainText().isEmpty(); }));
  EXPECT_EQ(tdir.toPlainText().toStdString(), queue);
  EXPECT_EQ(ldir.text().size(), static_cast<qsizetype>(path.size()));
}

TEST_F(QtViewTest, TypedTextReachesTheFieldAtOnce) {
  for (const auto& [field, name] :
       std::vector<std::pair<form::TextField*, const char*>>{{&form_.textURL, "textURL"},
                                                             {&form_.textDIR, "textDIR"},
                                                             {&form_.textLDIR, "textLDIR"},
                                                             {&form_.Text1, "Text1"},
                                                             {&form_.Textimedat, "Textimedat"},
                                                             {&form_.Tdir, "Tdir"}}) {
    QWidget& box = widget<QWidget>(name);
    QTest::sendKeyEvent(QTest::Click, &box, Qt::Key_unknown, QString::fromUtf8("š"),
                        Qt::NoModifier);
    QTest::keyClicks(&box, QStringLiteral("ola.txt"));
    EXPECT_EQ(field->text(), "šola.txt") << name;
  }
}

TEST_F(QtViewTest, TheUserMayTickTheCheckBox) {
  auto& box = widget<QCheckBox>("Chkbrisi");
  QTest::keyClick(&box, Qt::Key_Space);
  EXPECT_TRUE(form_.Chkbrisi.ticked());
  QTest::keyClick(&box, Qt::Key_Space);
  EXPECT_FALSE(form_.Chkbrisi.ticked());
}

TEST_F(QtViewTest, TextTypedBeforeARefreshIsWhatTheFieldThenShows) {
  form_.textDIR.setText("/program/");
  // The user types before the window caught up with the program's value: typing is the later
  // store, so it is what the field holds and what the window keeps showing.
  auto& edit = widget<QLineEdit>("textDIR");
  QTest::keyClicks(&edit, QStringLiteral("/user/"));
  EXPECT_EQ(form_.textDIR.text(), "/user/");
  form_.Label3.setText("Status: naprej");
  EXPECT_TRUE(yieldUntil([&] { return widget<QLabel>("Label3").text() == "Status: naprej"; }));
  EXPECT_EQ(edit.text(), QStringLiteral("/user/"));
}

TEST_F(QtViewTest, TellsWhetherTheWindowIsMinimised) {
  EXPECT_FALSE(view_.isMinimized());
  view_.window().showMinimized();
  EXPECT_TRUE(view_.isMinimized());
  view_.window().showNormal();
  EXPECT_FALSE(view_.isMinimized());
}

// The application sets the C library's locale only once per process, so the check runs in a
// process of its own.
TEST(QtViewLocaleDeathTest, LeavesTheProcessLocaleAsItWas) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto createView = [] {
    setenv("LC_ALL", "C.UTF-8", 1);  // what the application would switch to
    std::setlocale(LC_ALL, "C");
    QtArguments arguments;
    FakeProgramEnd programEnd;
    form::FrmUpdate form(programEnd);
    window::QtView view(form, arguments.argc, arguments.argv);
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    std::fprintf(stderr, "locale %s\n", locale.c_str());
    std::_Exit(locale == "C" ? 0 : 1);
  };
  EXPECT_EXIT(createView(), testing::ExitedWithCode(0), "locale C");
}

}  // namespace
}  // namespace skyhaul::test
