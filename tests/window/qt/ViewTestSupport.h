#pragma once
// Shared pieces of the Qt window tests: a view on an offscreen screen over a fresh FrmUpdate
// whose program end throws, waiting on what the widgets show, and answering modal dialogs.

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "form/FrmUpdate.h"
#include "support/FakeClock.h"
#include "window/qt/QtView.h"

namespace skyhaul::test {

inline constexpr std::chrono::milliseconds kWaitLimit{5000};

// The command line Qt is given; it must outlive the application.
struct QtArguments {
  QtArguments() { setenv("QT_QPA_PLATFORM", "offscreen", 0); }
  int argc = 1;
  char name[15] = "test_window_qt";
  char* argv[2] = {name, nullptr};
};

// A shown window over fresh fields.
class QtViewTest : public ::testing::Test {
 protected:
  QtViewTest() { view_.show(); }

  template <typename T>
  T& widget(const char* name) {
    T* found = view_.window().findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::runtime_error(std::string("no widget ") + name);
    return *found;
  }

  // Yields like a running job until `shown` holds, for at most kWaitLimit.
  bool yieldUntil(const std::function<bool()>& shown) {
    QElapsedTimer timer;
    timer.start();
    while (!shown()) {
      if (timer.elapsed() > kWaitLimit.count()) return false;
      view_.yield();
    }
    return true;
  }

  QtArguments arguments_;
  FakeProgramEnd programEnd_;
  form::FrmUpdate form_{programEnd_};
  window::QtView view_{form_, arguments_.argc, arguments_.argv};
};

// Runs `answer` on the first modal dialog of type T to open, from inside the dialog's own event
// loop. If none opens in time, any other modal dialog is rejected so that the test cannot hang.
template <typename T>
class DialogAnswer {
 public:
  explicit DialogAnswer(std::function<void(T&)> answer) : answer_(std::move(answer)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
    clock_.start();
  }
  bool answered() const { return answered_; }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<T*>(modal)) {
      timer_.stop();
      answered_ = true;
      answer_(*dialog);
    } else if (clock_.elapsed() > kWaitLimit.count()) {
      timer_.stop();
      if (auto* other = qobject_cast<QDialog*>(modal)) other->reject();
    }
  }

  std::function<void(T&)> answer_;
  QTimer timer_;
  QElapsedTimer clock_;
  bool answered_ = false;
};

}  // namespace skyhaul::test
