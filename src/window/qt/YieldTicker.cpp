#include "window/qt/YieldTicker.h"

namespace skyhaul::window {

YieldTicker::YieldTicker() : helper_([this](const std::stop_token& stop) { run(stop); }) {}

YieldTicker::~YieldTicker() {
  helper_.request_stop();
  wakeUp_.notify_all();
}

void YieldTicker::run(const std::stop_token& stop) {
  std::unique_lock lock(mutex_);
  while (!wakeUp_.wait_for(lock, stop, kTick, [&stop] { return stop.stop_requested(); })) {
    due_.store(true, std::memory_order_relaxed);
  }
}

}  // namespace skyhaul::window
