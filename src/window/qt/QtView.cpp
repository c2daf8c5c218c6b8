#include "window/qt/QtView.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <array>
#include <clocale>
#include <ctime>
#include <iostream>
#include <limits>
#include <vector>

#include "window/qt/DisplayGuard.h"
#include "window/qt/MainWindow.h"
#include "window/qt/RefreshPacer.h"

namespace skyhaul::window {
namespace {

constexpr const char* kErrorTitle = "Skyhaul";
constexpr const char* kOkText = "V redu";
constexpr const char* kCancelText = "Prekliči";

// QApplication switches the C library to the user's locale; the job's number texts must not
// depend on which view runs, so the locale is put back as it was.
std::unique_ptr<QApplication> makeApplication(int& argc, char** argv) {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  const std::string locale = std::setlocale(LC_ALL, nullptr);
  auto app = std::make_unique<QApplication>(argc, argv);
  std::setlocale(LC_ALL, locale.c_str());
  return app;
}

// Qt's own arguments: the program name and, when one is chosen, "-platform <name>". The job's
// arguments were taken before; Qt must not read them as its options.
std::vector<std::string> qtArguments(int argc, char** argv, const std::string& platform) {
  std::vector<std::string> words{argc > 0 ? argv[0] : "skyhaul"};
  if (!platform.empty()) words.insert(words.end(), {"-platform", platform});
  return words;
}

// A transfer yields millions of times a second, several times per 255-byte chunk. The clock is
// looked at only once per this many yields, about once per chunk, and it is the coarse clock
// (a tick of a few milliseconds, plenty for 10 ms and 33 ms): the pacing stays, and a yield
// that has nothing to do costs next to nothing.
constexpr int kYieldsPerLook = 8;

std::chrono::steady_clock::time_point coarseNow() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
}

}  // namespace

struct QtView::Impl {
  Impl(form::FrmUpdate& form, std::vector<std::string> arguments)
      : words(std::move(arguments)),
        argv(pointersTo(words)),
        argc(static_cast<int>(words.size())),
        app(makeApplication(argc, argv.data())),
        window(form) {}

  static std::vector<char*> pointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (auto& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  // Pushes every marked field into its widget.
  void refreshChanged() {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
      if (!changed[i]) continue;
      changed[i] = false;
      window.refresh(static_cast<form::FieldId>(i));
    }
    anyChanged = false;
  }

  std::vector<std::string> words;  // QApplication keeps argc and argv for its whole life
  std::vector<char*> argv;
  int argc;
  std::unique_ptr<QApplication> app;  // null when the process had one already
  MainWindow window;
  RefreshPacer pacer;
  int yieldsBeforeLook = 0;  // the first yield looks
  std::array<bool, kFieldCount> changed{};
  bool anyChanged = false;
};

QtView::QtView(form::FrmUpdate& form, int argc, char** argv, const std::string& platform)
    : form_(form), impl_(std::make_unique<Impl>(form, qtArguments(argc, argv, platform))) {
  form_.attach(this);
}

QtView::~QtView() { form_.attach(nullptr); }

void QtView::show() {
  impl_->refreshChanged();
  impl_->window.show();
  QCoreApplication::processEvents();
  displayShown();
}

QWidget& QtView::window() { return impl_->window; }

void QtView::fieldChanged(form::FieldId field) {
  impl_->changed[static_cast<std::size_t>(field)] = true;
  impl_->anyChanged = true;
}

// Between looks nothing is done: a close request only arises while events are processed.
void QtView::yield() {
  if (impl_->yieldsBeforeLook > 0) {
    --impl_->yieldsBeforeLook;
    return;
  }
  impl_->yieldsBeforeLook = kYieldsPerLook - 1;
  const RefreshPacer::Step step = impl_->pacer.onYield(coarseNow(), impl_->anyChanged);
  if (step.refresh) impl_->refreshChanged();
  if (step.processEvents) QCoreApplication::processEvents();
  endProgramIfCloseRequested();
}

void QtView::yieldBeforeWait() {
  impl_->refreshChanged();
  QCoreApplication::processEvents();
  endProgramIfCloseRequested();
}

bool QtView::isMinimized() const { return impl_->window.isMinimized(); }

std::string QtView::inputBox(const std::string& prompt, const std::string& title) {
  QInputDialog dialog(&impl_->window);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(QString::fromStdString(title));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setOkButtonText(QString::fromUtf8(kOkText));
  dialog.setCancelButtonText(QString::fromUtf8(kCancelText));
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    edit->setMaxLength(std::numeric_limits<int>::max());  // a command may be long
  }
  const bool accepted = dialog.exec() == QDialog::Accepted;
  endProgramIfCloseRequested();
  return accepted ? dialog.textValue().toStdString() : std::string();
}

// The message box waits for a person; the error stream is what a scheduler keeps.
void QtView::reportUnhandledError(const std::string& message) {
  std::cerr << "Napaka: " + message + "\n" << std::flush;
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kErrorTitle),
                  QString::fromStdString(message), QMessageBox::Ok, &impl_->window);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText(QString::fromUtf8(kOkText));
  box.exec();
}

void QtView::notice(const std::string& line) { std::cerr << line + "\n" << std::flush; }

// Runs outside Qt's event handling, so that ending the program never unwinds through Qt.
void QtView::endProgramIfCloseRequested() {
  if (impl_->window.takeCloseRequest()) form_.Command3_Click();
}

}  // namespace skyhaul::window
