#pragma once
// The handler that turns the FTP client's progress events into the main window's progress
// display: the bar and its hover text, kilobytes done, percentage, rate and time left.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "window/FrmUpdate.h"
#include "window/View.h"

namespace skyhaul::window {

class ProgressDisplay {
 public:
  ProgressDisplay(FrmUpdate& form, View& view, platform::Clock& clock);

  // The handler of the FTP client's progress event: updates every progress field of `form`
  // and yields to the view five times. A step whose arithmetic fails or whose value the bar
  // refuses leaves its field unchanged; the other steps still run. The rate is taken over
  // the whole file since `TransferStart`; the percentage lags one event behind.
  void mFTP_FileTransferProgress(const std::int64_t& lCurrentBytes,
                                 const std::int64_t& lTotalBytes);

 private:
  void updateRate(std::int64_t currentBytes, std::string_view separator);
  void showHoverText(std::string_view separator);
  void showKilobytes();
  void showPercentage(std::int64_t previousPosition);
  void showMinimizedCaption(std::int64_t previousPosition);
  void showRate(std::string_view separator);
  void showTimeLeft(std::string_view separator);
  void showComplete();
  void show(TextField& field, const DeferredText& text, std::string_view separator);
  static std::string writtenNow(const DeferredText& text, std::string_view separator);

  FrmUpdate& form_;
  View& view_;
  platform::Clock& clock_;
  DeferredText scratch_;        // filled by each step and copied into its field
  bool separatorKept_ = false;  // this event's separator fits into scratch_
  std::string longSeparator_;   // this event's separator where it does not
};

}  // namespace skyhaul::window
