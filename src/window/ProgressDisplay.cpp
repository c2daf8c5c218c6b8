#include "window/ProgressDisplay.h"

#include <cmath>
#include <limits>
#include <string>

#include "window/ConvertTime.h"
#include "window/NumberText.h"

namespace skyhaul::window {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr std::int64_t kBytesPerKilobyte = 1024;
// Below this many bytes per second, k / 1000 has at most 15 significant digits, so its
// two-decimal text is exactly k / 1000 rounded on its last digit.
constexpr double kExactRateLimit = 1e15;

// The arithmetic of a step gives no value (division by zero, overflow, not a number): the step
// is abandoned and its field keeps what it shows. Each helper says whether it gave a value.
// (Plain results rather than std::optional: these run after every chunk, and an optional
// handed on through memory costs more than the arithmetic.)
bool quotient(double dividend, double divisor, double& result) {
  if (divisor == 0.0) return false;
  result = dividend / divisor;
  return std::isfinite(result);
}

// The nearest whole number, halves to the even neighbour. Adding and taking away 2^52 leaves
// no fraction, and the floating-point unit rounds that sum to even as nearbyint does, without
// the library call; from 2^52 up every double is whole already.
bool wholeNumber(double value, std::int64_t& result) {
  constexpr double kNoFractionFrom = 4503599627370496.0;  // 2^52
  double rounded = value;
  if (std::fabs(value) < kNoFractionFrom) {
    const double shift = std::copysign(kNoFractionFrom, value);
    rounded = (value + shift) - shift;
  }
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(rounded >= -kLimit && rounded < kLimit)) return false;
  result = static_cast<std::int64_t>(rounded);
  return true;
}

bool singlePrecision(double value, float& result) {
  if (!(std::fabs(value) <= std::numeric_limits<float>::max())) return false;
  result = static_cast<float>(value);
  return true;
}

bool percentOf(std::int64_t previousPosition, float maximum, std::int64_t& percent) {
  double share = 0.0;
  return quotient(static_cast<double>(previousPosition), maximum, share) &&
         wholeNumber(share * 100.0, percent);
}

// `bytesPerSecond` / 1000 through its "####.00" text and back, as the display shows the rate.
// For whole rates below kExactRateLimit that text is the rate rounded on its last digit, halves
// away from zero, and reading it back gives the double nearest to that, which the division
// below gives too; other values take the way through the text itself.
bool rateThroughItsText(double bytesPerSecond, std::string_view separator, double& rate) {
  if (bytesPerSecond >= 0.0 && bytesPerSecond < kExactRateLimit) {
    const auto whole = static_cast<std::int64_t>(bytesPerSecond);
    rate = static_cast<double>((whole + 5) / 10) / 100.0;
    return true;
  }
  const auto read = readTwoDecimals(twoDecimalsText(bytesPerSecond / 1000.0, separator), separator);
  if (read) rate = *read;
  return read.has_value();
}

// The writers of the texts, run when a text is first read.
void writeHoverText(const DeferredText& from, std::string_view separator, std::string& text) {
  text.append(generalText(from.single[0], separator))
      .append(" Bytes od ")
      .append(generalText(from.single[1], separator))
      .append(" Bytes Prenešeno ");
}

void writeKilobytes(const DeferredText& from, std::string_view /*separator*/, std::string& text) {
  text.append(plainDecimal(from.whole[0]))
      .append(" KB od ")
      .append(plainDecimal(from.whole[1]))
      .append(" KB Prenešeno");
}

void writePercentage(const DeferredText& from, std::string_view /*separator*/, std::string& text) {
  text.append(plainDecimal(from.whole[0])).append("%");
}

void writeMinimizedCaption(const DeferredText& from, std::string_view /*separator*/,
                           std::string& text) {
  text.append("FTP prenos ").append(plainDecimal(from.whole[0])).append("%");
}

void writeRate(const DeferredText& from, std::string_view separator, std::string& text) {
  text.append(rateText(from.single[0], separator)).append(" Kbps");
}

void writeTimeLeft(const DeferredText& from, std::string_view separator, std::string& text) {
  text.append("Do konca še: ").append(ConvertTime(from.single[0], separator));
}

}  // namespace

ProgressDisplay::ProgressDisplay(FrmUpdate& form, View& view, platform::Clock& clock)
    : form_(form), view_(view), clock_(clock) {}

// Each step stores only numbers; the texts are written when a view reads them. A step whose
// arithmetic gives no value returns early and leaves its field as it was.
void ProgressDisplay::mFTP_FileTransferProgress(const std::int64_t& lCurrentBytes,
                                                const std::int64_t& lTotalBytes) {
  // Read once per event and kept with the texts, which may be written after a locale change.
  const std::string_view current = decimalSeparator();
  if (!separatorKept_ || !scratch_.separator.holds(current)) {
    separatorKept_ = scratch_.separator.assign(current);
    if (!separatorKept_) longSeparator_.assign(current);
  }
  const std::string_view separator =
      separatorKept_ ? scratch_.separator.view() : std::string_view(longSeparator_);
  ProgressBar& bar = form_.PB;
  updateRate(lCurrentBytes, separator);
  bar.setMax(static_cast<float>(lTotalBytes));
  bar.setMin(0.0F);
  std::int64_t previousPosition = 0;
  if (!wholeNumber(bar.value(), previousPosition)) previousPosition = 0;
  view_.yield();
  const auto position = static_cast<float>(lCurrentBytes);
  if (bar.accepts(position)) bar.setValue(position);
  view_.yield();
  showHoverText(separator);
  view_.yield();
  showKilobytes();
  view_.yield();
  showPercentage(previousPosition);
  if (view_.isMinimized()) showMinimizedCaption(previousPosition);
  view_.yield();
  showRate(separator);
  showTimeLeft(separator);
  showComplete();
}

// Thousands of bytes per second over the whole file so far, two decimals, halves away from
// zero: the rate the display shows, read back from its text.
void ProgressDisplay::updateRate(std::int64_t currentBytes, std::string_view separator) {
  double elapsed = static_cast<double>(clock_.secondsSinceMidnight()) - form_.TransferStart;
  // The clock restarts at midnight; a transfer running across it is not a negative time.
  if (elapsed < 0.0) elapsed += kSecondsPerDay;
  double bytesPerSecond = 0.0;
  double rate = 0.0;
  float single = 0.0F;
  if (quotient(static_cast<double>(currentBytes), elapsed, bytesPerSecond) &&
      rateThroughItsText(std::floor(bytesPerSecond), separator, rate) &&
      singlePrecision(rate, single)) {
    form_.TransferRate = single;
  }
}

void ProgressDisplay::showHoverText(std::string_view separator) {
  DeferredText& text = scratch_;
  text.writer = &writeHoverText;
  text.single = {form_.PB.value(), form_.PB.max()};
  if (separatorKept_) {
    form_.PB.setDeferredToolTipText(text);
  } else {
    form_.PB.setToolTipText(writtenNow(text, separator));
  }
}

void ProgressDisplay::showKilobytes() {
  std::int64_t done = 0;
  std::int64_t total = 0;
  if (!wholeNumber(form_.PB.value(), done) || !wholeNumber(form_.PB.max(), total)) return;
  DeferredText& text = scratch_;
  text.writer = &writeKilobytes;
  text.whole = {done / kBytesPerKilobyte, total / kBytesPerKilobyte};
  form_.Label7.setDeferredText(text);
}

void ProgressDisplay::showPercentage(std::int64_t previousPosition) {
  std::int64_t percent = 0;
  if (!percentOf(previousPosition, form_.PB.max(), percent)) return;
  DeferredText& text = scratch_;
  text.writer = &writePercentage;
  text.whole = {percent, 0};
  form_.Label9.setDeferredText(text);
}

void ProgressDisplay::showMinimizedCaption(std::int64_t previousPosition) {
  std::int64_t percent = 0;
  if (!percentOf(previousPosition, form_.PB.max(), percent)) return;
  DeferredText& text = scratch_;
  text.writer = &writeMinimizedCaption;
  text.whole = {percent, 0};
  form_.Caption.setDeferredText(text);
}

void ProgressDisplay::showRate(std::string_view separator) {
  DeferredText& text = scratch_;
  text.writer = &writeRate;
  text.single = {form_.TransferRate, 0.0F};
  show(form_.Label10, text, separator);
}

// The remaining bytes count in units of 1024 while the rate counts thousands.
void ProgressDisplay::showTimeLeft(std::string_view separator) {
  const double remaining = static_cast<double>(form_.PB.max()) - form_.PB.value();
  double seconds = 0.0;
  float single = 0.0F;
  if (!quotient(remaining / static_cast<double>(kBytesPerKilobyte), form_.TransferRate, seconds) ||
      !singlePrecision(std::floor(seconds), single)) {
    return;
  }
  DeferredText& text = scratch_;
  text.writer = &writeTimeLeft;
  text.single = {single, 0.0F};
  show(form_.Label11, text, separator);
}

// Texts with a decimal separator too long to keep are written at once.
void ProgressDisplay::show(TextField& field, const DeferredText& text, std::string_view separator) {
  if (separatorKept_) {
    field.setDeferredText(text);
  } else {
    field.setText(writtenNow(text, separator));
  }
}

std::string ProgressDisplay::writtenNow(const DeferredText& text, std::string_view separator) {
  std::string written;
  text.writer(text, separator, written);
  return written;
}

void ProgressDisplay::showComplete() {
  if (form_.PB.value() == form_.PB.max()) form_.Label9.setText("100%");
}

}  // namespace skyhaul::window
