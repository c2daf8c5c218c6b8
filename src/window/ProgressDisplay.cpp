#include "window/ProgressDisplay.h"

#include <cmath>
#include <limits>
#include <optional>
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
// is abandoned and its field keeps what it shows.
std::optional<double> quotient(double dividend, double divisor) {
  if (divisor == 0.0) return std::nullopt;
  const double result = dividend / divisor;
  if (!std::isfinite(result)) return std::nullopt;
  return result;
}

// The nearest whole number, halves to the even neighbour.
std::optional<std::int64_t> wholeNumber(double value) {
  const double rounded = std::nearbyint(value);
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(rounded >= -kLimit && rounded < kLimit)) return std::nullopt;
  return static_cast<std::int64_t>(rounded);
}

std::optional<float> singlePrecision(double value) {
  if (!(std::fabs(value) <= std::numeric_limits<float>::max())) return std::nullopt;
  return static_cast<float>(value);
}

std::optional<std::int64_t> percentOf(std::int64_t previousPosition, float maximum) {
  const auto share = quotient(static_cast<double>(previousPosition), maximum);
  if (!share) return std::nullopt;
  return wholeNumber(*share * 100.0);
}

// `bytesPerSecond` / 1000 through its "####.00" text and back, as the display shows the rate.
// For whole rates below kExactRateLimit that text is the rate rounded on its last digit, halves
// away from zero, and reading it back gives the double nearest to that, which the division
// below gives too; other values take the way through the text itself.
std::optional<double> rateThroughItsText(double bytesPerSecond, std::string_view separator) {
  if (bytesPerSecond >= 0.0 && bytesPerSecond < kExactRateLimit) {
    const auto whole = static_cast<std::int64_t>(bytesPerSecond);
    return static_cast<double>((whole + 5) / 10) / 100.0;
  }
  return readTwoDecimals(twoDecimalsText(bytesPerSecond / 1000.0, separator), separator);
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
  separatorKept_ = scratch_.separator.assign(current);
  if (!separatorKept_) longSeparator_.assign(current);
  const std::string_view separator =
      separatorKept_ ? scratch_.separator.view() : std::string_view(longSeparator_);
  ProgressBar& bar = form_.PB;
  updateRate(lCurrentBytes, separator);
  bar.setMax(static_cast<float>(lTotalBytes));
  bar.setMin(0.0F);
  const std::int64_t previousPosition = wholeNumber(bar.value()).value_or(0);
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
  const auto bytesPerSecond = quotient(static_cast<double>(currentBytes), elapsed);
  if (!bytesPerSecond) return;
  const auto rate = rateThroughItsText(std::floor(*bytesPerSecond), separator);
  if (!rate) return;
  const auto single = singlePrecision(*rate);
  if (single) form_.TransferRate = *single;
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
  const auto done = wholeNumber(form_.PB.value());
  if (!done) return;
  const auto total = wholeNumber(form_.PB.max());
  if (!total) return;
  DeferredText& text = scratch_;
  text.writer = &writeKilobytes;
  text.whole = {*done / kBytesPerKilobyte, *total / kBytesPerKilobyte};
  form_.Label7.setDeferredText(text);
}

void ProgressDisplay::showPercentage(std::int64_t previousPosition) {
  const auto percent = percentOf(previousPosition, form_.PB.max());
  if (!percent) return;
  DeferredText& text = scratch_;
  text.writer = &writePercentage;
  text.whole = {*percent, 0};
  form_.Label9.setDeferredText(text);
}

void ProgressDisplay::showMinimizedCaption(std::int64_t previousPosition) {
  const auto percent = percentOf(previousPosition, form_.PB.max());
  if (!percent) return;
  DeferredText& text = scratch_;
  text.writer = &writeMinimizedCaption;
  text.whole = {*percent, 0};
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
  const auto seconds =
      quotient(remaining / static_cast<double>(kBytesPerKilobyte), form_.TransferRate);
  if (!seconds) return;
  const auto single = singlePrecision(std::floor(*seconds));
  if (!single) return;
  DeferredText& text = scratch_;
  text.writer = &writeTimeLeft;
  text.single = {*single, 0.0F};
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
