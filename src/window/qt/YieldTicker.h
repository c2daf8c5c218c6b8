#pragma once
// Tells the view's yield when a look at the clock is due. A transfer yields millions of times a
// second, and even the cheapest clock costs more than all the rest of a yield that has nothing to
// do; a flag that a sleeping helper thread raises once per tick costs one load. The helper
// touches nothing but the flag: the window and the job stay on the one thread they run on.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace skyhaul::window {

class YieldTicker {
 public:
  static constexpr std::chrono::milliseconds kTick{2};

  // Starts the helper; the first look is due at once.
  YieldTicker();
  // Stops the helper and waits for it.
  ~YieldTicker();
  YieldTicker(const YieldTicker&) = delete;
  YieldTicker& operator=(const YieldTicker&) = delete;

  // True at most once per tick: a tick has passed since the last true.
  bool takeDue() {
    if (!due_.load(std::memory_order_relaxed)) return false;
    due_.store(false, std::memory_order_relaxed);
    return true;
  }

 private:
  void run(const std::stop_token& stop);

  std::atomic<bool> due_{true};
  std::mutex mutex_;
  std::condition_variable_any wakeUp_;
  std::jthread helper_;  // last: it starts after the members it uses
};

}  // namespace skyhaul::window
