#pragma once
// The handler that turns the FTP client's progress events into the main window's progress
// display: the bar and its hover text, kilobytes done, percentage, rate and time left. An event
// keeps only numbers; each text is written when somebody reads it, as the event would have
// written it.

#include <cstdint>
#include <string>

#include "form/Fields.h"
#include "form/FrmUpdate.h"
#include "form/View.h"
#include "platform/Clock.h"

namespace skyhaul::window {

class ProgressDisplay final : private form::TextSource {
 public:
  ProgressDisplay(form::FrmUpdate& form, form::View& view, platform::Clock& clock);
  // Writes the texts still waiting for a read, as the fields outlive the display.
  ~ProgressDisplay();
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  // The handler of the FTP client's progress event: updates every progress field of `form`
  // and yields to the view five times. A step whose arithmetic fails or whose value the bar
  // refuses leaves its field unchanged; the other steps still run. The rate is taken over
  // the whole file since `TransferStart`; the percentage lags one event behind.
  void mFTP_FileTransferProgress(const std::int64_t& lCurrentBytes,
                                 const std::int64_t& lTotalBytes);

 private:
  // Two readings of the bar, kept for a text until its step next succeeds.
  struct BarReading {
    float position = 0.0F;
    float maximum = 0.0F;
  };

  void writeText(form::FieldId field, std::string& text) const override;
  void keepSeparator();
  void updateRate(std::int64_t currentBytes);
  void showKilobytes();
  void showPercentage(float previousPosition);
  void showTimeLeft();

  form::FrmUpdate& form_;
  form::View& view_;
  platform::Clock& clock_;
  // What the texts are written from, each as its step last left it. Every text waiting for a
  // read was set with `separator_`: a change of the separator writes them first.
  BarReading hover_;
  BarReading kilobytes_;
  BarReading percentage_;  // the position before the event, against the maximum
  BarReading caption_;
  float rate_ = 0.0F;
  double secondsLeft_ = 0.0;  // not yet rounded down
  std::string separator_;
};

}  // namespace skyhaul::window
