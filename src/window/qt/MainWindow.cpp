#include "window/qt/MainWindow.h"

#include <QCloseEvent>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QScopedValueRollback>
#include <algorithm>
#include <initializer_list>
#include <limits>
#include <utility>

#include "window/qt/BarScale.h"
#include "window/qt/FormLayout.h"

// The icon files are compiled into this static library; registering them by name keeps the
// linker from dropping them. The registration function lives in the global namespace.
static void registerWindowResources() {
  static bool registered = false;
  if (registered) return;
  Q_INIT_RESOURCE(skyhaul);
  registered = true;
}

namespace skyhaul::window {
namespace {

constexpr std::size_t at(form::FieldId field) { return static_cast<std::size_t>(field); }

// The progress and status texts stand out in navy bold serif.
constexpr const char* kStatusFontFamily = "Times New Roman";
constexpr const char* kStatusFontStandIn = "Liberation Serif";  // same metrics, free
const QColor kStatusColour(0, 0, 128);
constexpr double kStatusLinePoints = 10.5;
constexpr double kProgressLabelPoints = 9.75;

QIcon makeWindowIcon() {
  registerWindowResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/skyhaul/icons/skyhaul-32.xpm"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/skyhaul/icons/skyhaul-16.xpm"), QSize(16, 16));
  return icon;
}

}  // namespace

MainWindow::MainWindow(form::FrmUpdate& form) : form_(form) {
  setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
  setWindowIcon(makeWindowIcon());
  indexFields();
  placeWidgets();
  configureWidgets();
  styleStatusLabels();
  orderFocus();
  connectEdits();
  for (std::size_t i = 0; i < kFieldCount; ++i) refresh(static_cast<form::FieldId>(i));
}

void MainWindow::indexFields() {
  const std::initializer_list<std::pair<form::TextField*, QWidget*>> texts{
      {&form_.textURL, &textURL_}, {&form_.textDIR, &textDIR_},  {&form_.textLDIR, &textLDIR_},
      {&form_.Text1, &text1_},     {&form_.Tdir, &tdir_},        {&form_.Textimedat, &textimedat_},
      {&form_.Label3, &label3_},   {&form_.Label11, &label11_},  {&form_.Label7, &label7_},
      {&form_.Label9, &label9_},   {&form_.Label10, &label10_},  {&form_.Caption, nullptr},
      {&form_.Label1, &label1_},   {&form_.Label2, &label2_},    {&form_.Label5, &label5_},
      {&form_.Label4, &label4_},   {&form_.Command3, &command3_}};
  for (const auto& [field, widget] : texts) {
    texts_[at(field->id())] = field;
    widgets_[at(field->id())] = widget;
  }
  widgets_[at(form::FieldId::Chkbrisi)] = &chkbrisi_;
  widgets_[at(form::FieldId::PB)] = &pb_;
}

void MainWindow::placeWidgets() {
  for (const FieldPlace& place : kFieldPlaces) {
    QWidget* widget = widgets_[at(place.field)];
    widget->setObjectName(QString::fromLatin1(place.name));
    widget->setGeometry(twipsToPixels(place.left), twipsToPixels(place.top),
                        twipsToPixels(place.width), twipsToPixels(place.height));
  }
}

void MainWindow::configureWidgets() {
  // The job's texts have no length limit; the queue in particular must never be cut short.
  for (QLineEdit* edit : {&textURL_, &textDIR_, &textLDIR_, &text1_, &textimedat_}) {
    edit->setMaxLength(std::numeric_limits<int>::max());
  }
  // The queue is one comma-separated line without blanks, so it wraps anywhere.
  tdir_.setLineWrapMode(QPlainTextEdit::WidgetWidth);
  tdir_.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  tdir_.setTabChangesFocus(true);
  for (QLabel* label : {&label1_, &label2_, &label5_, &label4_, &label3_, &label11_, &label7_,
                        &label10_, &label9_}) {
    label->setTextFormat(Qt::PlainText);  // a file name may look like markup
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  chkbrisi_.setText(QString::fromUtf8(form::FrmUpdate::kChkbrisiCaption));
  pb_.setRange(0, kBarSteps);
  pb_.setTextVisible(false);
}

void MainWindow::styleStatusLabels() {
  QFont::insertSubstitution(QString::fromLatin1(kStatusFontFamily),
                            QString::fromLatin1(kStatusFontStandIn));
  QPalette palette = label3_.palette();
  palette.setColor(QPalette::WindowText, kStatusColour);
  for (const auto& [label, points] :
       {std::pair{&label3_, kStatusLinePoints}, std::pair{&label7_, kProgressLabelPoints},
        std::pair{&label9_, kProgressLabelPoints}, std::pair{&label10_, kProgressLabelPoints},
        std::pair{&label11_, kProgressLabelPoints}}) {
    QFont font(QString::fromLatin1(kStatusFontFamily));
    font.setPointSizeF(points);
    font.setBold(true);
    label->setFont(font);
    label->setPalette(palette);
  }
}

// Tab walks the widgets in the form's order; labels and the bar keep their places but are
// skipped because they take no focus.
void MainWindow::orderFocus() {
  auto places = kFieldPlaces;
  std::ranges::sort(places, {}, &FieldPlace::order);
  QWidget* previous = nullptr;
  for (const FieldPlace& place : places) {
    QWidget* widget = widgets_[at(place.field)];
    if ((widget->focusPolicy() & Qt::TabFocus) == 0) continue;
    if (previous == nullptr) {
      widget->setFocus();
    } else {
      setTabOrder(previous, widget);
    }
    previous = widget;
  }
}

void MainWindow::connectEdits() {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (auto* edit = qobject_cast<QLineEdit*>(widgets_[i])) {
      form::TextField* field = texts_[i];
      connect(edit, &QLineEdit::textEdited, this,
              [field](const QString& text) { field->setTypedText(text.toStdString()); });
    }
  }
  connect(&tdir_, &QPlainTextEdit::textChanged, this, [this] {
    if (!refreshing_) form_.Tdir.setTypedText(tdir_.toPlainText().toStdString());
  });
  connect(&chkbrisi_, &QCheckBox::clicked, this,
          [this](bool checked) { form_.Chkbrisi.setTypedValue(checked ? 1 : 0); });
  connect(&command3_, &QPushButton::clicked, this, [this] { closeRequested_ = true; });
}

void MainWindow::refresh(form::FieldId field) {
  const QScopedValueRollback guard(refreshing_, true);
  switch (field) {
    case form::FieldId::Tdir:
      showQueue();
      break;
    case form::FieldId::Chkbrisi:
      chkbrisi_.setChecked(form_.Chkbrisi.ticked());
      break;
    case form::FieldId::PB:
      showBar();
      break;
    case form::FieldId::Caption:
      setWindowTitle(QString::fromStdString(form_.Caption.text()));
      break;
    default:
      showText(field);
      break;
  }
}

void MainWindow::showText(form::FieldId field) {
  const QString text = QString::fromStdString(texts_[at(field)]->text());
  QWidget* widget = widgets_[at(field)];
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    if (edit->text() == text) return;  // keeps the user's cursor where it is
    edit->setText(text);
    edit->setCursorPosition(0);  // a long path shows its beginning
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
  }
}

void MainWindow::showQueue() {
  const QString text = QString::fromStdString(form_.Tdir.text());
  if (tdir_.toPlainText() != text) tdir_.setPlainText(text);
}

void MainWindow::showBar() {
  pb_.setValue(barSteps(form_.PB.min(), form_.PB.max(), form_.PB.value()));
  pb_.setToolTip(QString::fromStdString(form_.PB.toolTipText()));
}

bool MainWindow::takeCloseRequest() { return std::exchange(closeRequested_, false); }

void MainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  closeRequested_ = true;
}

}  // namespace skyhaul::window
