#include "window/qt/RefreshPacer.h"

namespace skyhaul::window {

// A refresh always processes events too, since that is when the widgets paint.
RefreshPacer::Step RefreshPacer::onYield(TimePoint now, bool fieldsChanged) {
  Step step;
  step.refresh = fieldsChanged && now - lastRefresh_ >= kRefreshInterval;
  step.processEvents = step.refresh || now - lastEvents_ >= kEventInterval;
  if (step.refresh) lastRefresh_ = now;
  if (step.processEvents) lastEvents_ = now;
  return step;
}

}  // namespace skyhaul::window
