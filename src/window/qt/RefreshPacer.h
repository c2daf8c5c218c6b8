#pragma once
// How often a yield may repaint and process window events. A transfer yields millions of times,
// so repainting on every call would cost more than the transfer; a click on "Zapri" must still be
// seen within a few tens of milliseconds.

#include <chrono>

namespace skyhaul::window {

class RefreshPacer {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::milliseconds kRefreshInterval{33};  // about 30 repaints a second
  static constexpr std::chrono::milliseconds kEventInterval{10};

  // What one yield does.
  struct Step {
    bool refresh = false;        // push changed fields into the widgets
    bool processEvents = false;  // let the toolkit handle pending events (and paint)
  };

  // Decides one yield at `now`; `fieldsChanged` tells whether any field awaits a refresh.
  Step onYield(TimePoint now, bool fieldsChanged);

 private:
  TimePoint lastRefresh_{};
  TimePoint lastEvents_{};
};

}  // namespace skyhaul::window
