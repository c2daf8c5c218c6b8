#include "form/Fields.h"

#include <stdexcept>

namespace skyhaul::form {

// Marked fresh only once written: a write that fails leaves the source to try again.
void SourcedText::write(FieldId field) const {
  text_.clear();  // keeps the capacity, so a text rewritten often allocates no more
  source_->writeText(field, text_);
  stale_ = false;
}

// A maximum below the position pulls the position down with it, so the bar always shows a
// position within its range; the position read back after a smaller file starts is the new max.
// Setting what the bar already holds changes nothing, and the progress display sets the range
// after every chunk, so the view is told only of a real change. (A minimum set above the
// maximum can leave the position outside the range; setting either end again then still pulls
// it back.)
void ProgressBar::setMax(float max) {
  if (max == max_ && !(value_ > max)) return;
  max_ = max;
  if (value_ > max_) value_ = max_;
  changed();
}

void ProgressBar::setMin(float min) {
  if (min == min_ && !(value_ < min)) return;
  min_ = min;
  if (value_ < min_) value_ = min_;
  changed();
}

// Like the bar it stands for, the field refuses a position outside its range.
void ProgressBar::setValue(float value) {
  if (!accepts(value)) throw std::out_of_range("progress bar position out of range");
  value_ = value;
  changed();
}

}  // namespace skyhaul::form
