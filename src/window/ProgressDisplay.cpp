#include "window/ProgressDisplay.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "window/ConvertTime.h"
#include "window/NumberText.h"

namespace skyhaul::window {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr std::int64_t kBytesPerKilobyte = 1024;

// Arithmetic of one step that cannot give a value: the step is abandoned.
struct StepFailed {};

// Runs one step; a failed calculation or a value the bar refuses ends only that step.
template <typename Step>
void guarded(Step&& step) {
  try {
    step();
  } catch (const StepFailed&) {
  } catch (const std::out_of_range&) {
  }
}

double quotient(double dividend, double divisor) {
  if (divisor == 0.0) throw StepFailed{};
  const double result = dividend / divisor;
  if (!std::isfinite(result)) throw StepFailed{};
  return result;
}

// The nearest whole number, halves to the even neighbour.
std::int64_t wholeNumber(double value) {
  const double rounded = std::nearbyint(value);
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(rounded >= -kLimit && rounded < kLimit)) throw StepFailed{};
  return static_cast<std::int64_t>(rounded);
}

float singlePrecision(double value) {
  if (!(std::fabs(value) <= std::numeric_limits<float>::max())) throw StepFailed{};
  return static_cast<float>(value);
}

std::int64_t percentOf(std::int64_t previousPosition, float maximum) {
  return wholeNumber(quotient(static_cast<double>(previousPosition), maximum) * 100.0);
}

}  // namespace

ProgressDisplay::ProgressDisplay(FrmUpdate& form, View& view, platform::Clock& clock)
    : form_(form), view_(view), clock_(clock) {}

void ProgressDisplay::mFTP_FileTransferProgress(const std::int64_t& lCurrentBytes,
                                                const std::int64_t& lTotalBytes) {
  // Read once per event; a short separator stays in the string's own buffer.
  const std::string separator(decimalSeparator());
  ProgressBar& bar = form_.PB;
  guarded([&] { updateRate(lCurrentBytes, separator); });
  guarded([&] { bar.setMax(static_cast<float>(lTotalBytes)); });
  guarded([&] { bar.setMin(0.0F); });
  std::int64_t previousPosition = 0;
  guarded([&] { previousPosition = wholeNumber(bar.value()); });
  view_.yield();
  guarded([&] { bar.setValue(static_cast<float>(lCurrentBytes)); });
  view_.yield();
  guarded([&] { showHoverText(separator); });
  view_.yield();
  guarded([&] { showKilobytes(); });
  view_.yield();
  guarded([&] { showPercentage(previousPosition); });
  if (view_.isMinimized()) guarded([&] { showMinimizedCaption(previousPosition); });
  view_.yield();
  guarded([&] { showRate(separator); });
  guarded([&] { showTimeLeft(separator); });
  guarded([&] { showComplete(); });
}

// Thousands of bytes per second over the whole file so far, two decimals, halves away from
// zero: the rate goes through its two-decimal text as the display shows it.
void ProgressDisplay::updateRate(std::int64_t currentBytes, std::string_view separator) {
  double elapsed = static_cast<double>(clock_.secondsSinceMidnight()) - form_.TransferStart;
  // The clock restarts at midnight; a transfer running across it is not a negative time.
  if (elapsed < 0.0) elapsed += kSecondsPerDay;
  const double bytesPerSecond = std::floor(quotient(static_cast<double>(currentBytes), elapsed));
  const auto rate = readTwoDecimals(twoDecimalsText(bytesPerSecond / 1000.0, separator), separator);
  if (!rate) throw StepFailed{};
  form_.TransferRate = singlePrecision(*rate);
}

void ProgressDisplay::showHoverText(std::string_view separator) {
  const std::string position = generalText(form_.PB.value(), separator);
  const std::string maximum = generalText(form_.PB.max(), separator);
  std::string text;
  text.reserve(position.size() + maximum.size() + 32);
  text.append(position).append(" Bytes od ").append(maximum).append(" Bytes Prenešeno ");
  form_.PB.setToolTipText(std::move(text));
}

void ProgressDisplay::showKilobytes() {
  const std::string done = plainDecimal(wholeNumber(form_.PB.value()) / kBytesPerKilobyte);
  const std::string total = plainDecimal(wholeNumber(form_.PB.max()) / kBytesPerKilobyte);
  std::string text;
  text.reserve(done.size() + total.size() + 24);
  text.append(done).append(" KB od ").append(total).append(" KB Prenešeno");
  form_.Label7.setText(std::move(text));
}

void ProgressDisplay::showPercentage(std::int64_t previousPosition) {
  form_.Label9.setText(plainDecimal(percentOf(previousPosition, form_.PB.max())) + "%");
}

void ProgressDisplay::showMinimizedCaption(std::int64_t previousPosition) {
  const std::string percent = plainDecimal(percentOf(previousPosition, form_.PB.max()));
  std::string text;
  text.reserve(percent.size() + 16);
  text.append("FTP prenos ").append(percent).append("%");
  form_.Caption.setText(std::move(text));
}

void ProgressDisplay::showRate(std::string_view separator) {
  form_.Label10.setText(rateText(form_.TransferRate, separator) + " Kbps");
}

// The remaining bytes count in units of 1024 while the rate counts thousands.
void ProgressDisplay::showTimeLeft(std::string_view separator) {
  const double remaining = static_cast<double>(form_.PB.max()) - form_.PB.value();
  const double seconds =
      std::floor(quotient(remaining / static_cast<double>(kBytesPerKilobyte), form_.TransferRate));
  const std::string clockText = ConvertTime(singlePrecision(seconds), separator);
  std::string text;
  text.reserve(clockText.size() + 16);
  text.append("Do konca še: ").append(clockText);
  form_.Label11.setText(std::move(text));
}

void ProgressDisplay::showComplete() {
  if (form_.PB.value() == form_.PB.max()) form_.Label9.setText("100%");
}

}  // namespace skyhaul::window
