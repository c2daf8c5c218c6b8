#pragma once
// Test doubles for time and for the end of the program: waits cost nothing and are recorded,
// the clock moves only when the test (or a wait) moves it, and ending the program throws.

#include <chrono>
#include <functional>
#include <vector>

#include "platform/Clock.h"
#include "platform/ProgramEnd.h"

namespace skyhaul::test {

class FakeClock final : public platform::Clock {
 public:
  float secondsSinceMidnight() override { return static_cast<float>(seconds_); }
  std::chrono::system_clock::time_point now() override {
    return start_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                        std::chrono::duration<double>(seconds_));
  }
  // A wait advances the clock by its length and is remembered; `onSleep` sees it first.
  void sleep(std::chrono::milliseconds duration) override {
    if (onSleep) onSleep(duration);
    sleeps.push_back(duration);
    seconds_ += static_cast<double>(duration.count()) / 1000.0;
  }
  void advance(double seconds) { seconds_ += seconds; }
  void setSecondsSinceMidnight(double seconds) { seconds_ = seconds; }

  std::vector<std::chrono::milliseconds> sleeps;
  std::function<void(std::chrono::milliseconds)> onSleep;

 private:
  double seconds_ = 36000.0;
  std::chrono::system_clock::time_point start_ = std::chrono::system_clock::now();
};

// Thrown by FakeProgramEnd in place of ending the process.
struct ProgramEnded {
  platform::ExitStatus status;
};

class FakeProgramEnd final : public platform::ProgramEnd {
 private:
  void end(platform::ExitStatus status) override { throw ProgramEnded{status}; }
};

}  // namespace skyhaul::test
