// How the window looks: size, places of the widgets, focus order, fonts, colours and icon.

#include <QApplication>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QSet>
#include <QTest>
#include <vector>

#include "ViewTestSupport.h"

namespace skyhaul::test {
namespace {

struct Place {
  const char* widget;
  QRect pixels;  // left, top, width, height
};

TEST_F(QtViewTest, HasAFixedClientAreaOf529By338Pixels) {
  QWidget& window = view_.window();
  EXPECT_EQ(window.size(), QSize(529, 338));
  EXPECT_EQ(window.minimumSize(), QSize(529, 338));
  EXPECT_EQ(window.maximumSize(), QSize(529, 338));
}

TEST_F(QtViewTest, PlacesEveryFieldWhereTheFormHasIt) {
  // Twips divided by 15, to the nearest pixel.
  const std::vector<Place> places{
      {"Command3", QRect(400, 0, 113, 25)},     {"Label1", QRect(8, 16, 241, 17)},
      {"textURL", QRect(8, 32, 289, 19)},       {"Tdir", QRect(304, 32, 217, 121)},
      {"Label2", QRect(8, 64, 201, 17)},        {"textDIR", QRect(8, 80, 289, 19)},
      {"Label5", QRect(8, 112, 201, 17)},       {"textLDIR", QRect(8, 128, 289, 19)},
      {"Chkbrisi", QRect(8, 160, 201, 17)},     {"Text1", QRect(216, 176, 305, 19)},
      {"Label3", QRect(8, 192, 185, 41)},       {"Label4", QRect(216, 200, 177, 17)},
      {"Textimedat", QRect(216, 224, 305, 19)}, {"Label11", QRect(8, 240, 185, 17)},
      {"Label7", QRect(0, 264, 393, 17)},       {"Label10", QRect(312, 264, 81, 17)},
      {"PB", QRect(8, 304, 313, 23)},           {"Label9", QRect(336, 304, 81, 17)},
  };
  for (const Place& place : places) {
    EXPECT_EQ(widget<QWidget>(place.widget).geometry(), place.pixels) << place.widget;
  }
}

TEST_F(QtViewTest, TabWalksTheFieldsInTheFormsOrder) {
  QWidget& window = view_.window();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const std::vector<QString> expected{"Command3", "textURL",  "Textimedat", "textDIR", "textLDIR",
                                      "Text1",    "Chkbrisi", "Tdir",       "Command3"};
  std::vector<QString> visited;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr) << "after " << i << " tabs";
    visited.push_back(focused->objectName());
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  EXPECT_EQ(visited, expected);
}

struct LabelStyle {
  const char* label;
  double points;
};

TEST_F(QtViewTest, StatusAndProgressLabelsAreNavyBoldTimes) {
  for (const LabelStyle& style : std::vector<LabelStyle>{{"Label3", 10.5},
                                                         {"Label7", 9.75},
                                                         {"Label9", 9.75},
                                                         {"Label10", 9.75},
                                                         {"Label11", 9.75}}) {
    const auto& label = widget<QLabel>(style.label);
    EXPECT_EQ(label.font().family(), QStringLiteral("Times New Roman")) << style.label;
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), style.points) << style.label;
    EXPECT_TRUE(label.font().bold()) << style.label;
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 128)) << style.label;
    // Without the real face, the metric-compatible one is drawn, not some other serif.
    const QString drawn = QFontInfo(label.font()).family();
    EXPECT_TRUE(drawn == "Times New Roman" || drawn == "Liberation Serif")
        << style.label << ": " << drawn.toStdString();
  }
}

TEST_F(QtViewTest, CaptionLabelsKeepTheWindowsFontAndColours) {
  const QWidget& window = view_.window();
  for (const char* name : {"Label1", "Label2", "Label4", "Label5"}) {
    const auto& label = widget<QLabel>(name);
    EXPECT_EQ(label.font(), window.font()) << name;
    EXPECT_EQ(label.palette().color(QPalette::WindowText),
              window.palette().color(QPalette::WindowText))
        << name;
  }
}

TEST_F(QtViewTest, HasAnIconOfItsOwnIn32And16PixelsOf16Colours) {
  const QIcon icon = view_.window().windowIcon();
  for (int size : {32, 16}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = icon.pixmap(QSize(size, size)).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    QSet<QRgb> colours;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) colours.insert(image.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 2);
    EXPECT_LE(colours.size(), 16);
  }
}

}  // namespace
}  // namespace skyhaul::test
