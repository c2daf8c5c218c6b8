#include "window/ProgressDisplay.h"

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

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
// is abandoned and its field keeps what it shows. The helpers that run in every event say
// whether they gave a value (plain results: a std::optional there costs more than the
// arithmetic); those that run when a text is written return an optional.
bool quotient(double dividend, double divisor, double& result) {
  if (divisor == 0.0) return false;
  result = dividend / divisor;
  return std::isfinite(result);
}

// The nearest whole number, halves to the even neighbour.
std::optional<std::int64_t> wholeNumber(double value) {
  const double rounded = std::nearbyint(value);
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(rounded >= -kLimit && rounded < kLimit)) return std::nullopt;
  return static_cast<std::int64_t>(rounded);
}

// Whether wholeNumber gives a value for a reading of the bar, without rounding it: a float
// with a fraction is far inside the range.
bool isWholeNumber(float value) {
  constexpr float kLimit = 9223372036854775808.0F;  // 2^63
  return value >= -kLimit && value < kLimit;
}

bool isSinglePrecision(double value) {
  return std::fabs(value) <= std::numeric_limits<float>::max();
}

bool singlePrecision(double value, float& result) {
  if (!isSinglePrecision(value)) return false;
  result = static_cast<float>(value);
  return true;
}

// k = `bytesPerSecond` rounded down, then k / 1000 through its "####.00" text and back, as the
// display shows the rate. For k below kExactRateLimit that text is k / 1000 rounded on its last
// digit, halves away from zero, and reading it back gives the double nearest to that, which the
// division below gives too; other values take the way through the text itself.
bool rateThroughItsText(double bytesPerSecond, std::string_view separator, double& rate) {
  if (bytesPerSecond >= 0.0 && bytesPerSecond < kExactRateLimit) {
    const auto k = static_cast<std::int64_t>(bytesPerSecond);  // drops the fraction: rounds down
    rate = static_cast<double>((k + 5) / 10) / 100.0;
    return true;
  }
  const double k = std::floor(bytesPerSecond);
  const auto read = readTwoDecimals(twoDecimalsText(k / 1000.0, separator), separator);
  if (read) rate = *read;
  return read.has_value();
}

// showKilobytes made sure that the reading is a whole number.
std::string kilobytes(float bytes) {
  return plainDecimal(wholeNumber(bytes).value_or(0) / kBytesPerKilobyte);
}

// The previous position as a whole number (0 when it is none) against the maximum, in percent;
// showPercentage made sure that this gives a value.
std::string percentage(float previousPosition, float maximum) {
  const auto previous = static_cast<double>(wholeNumber(previousPosition).value_or(0));
  return plainDecimal(wholeNumber(previous / maximum * 100.0).value_or(0));
}

}  // namespace

ProgressDisplay::ProgressDisplay(form::FrmUpdate& form, form::View& view, platform::Clock& clock)
    : form_(form), view_(view), clock_(clock) {}

ProgressDisplay::~ProgressDisplay() {
  for (const form::TextField* field :
       {&form_.Label7, &form_.Label9, &form_.Label10, &form_.Label11, &form_.Caption}) {
    (void)field->text();
  }
  (void)form_.PB.toolTipText();
}

// The steps keep the numbers their texts are made of; a text is written when it is read. A
// step whose arithmetic gives no value leaves its numbers, so its field shows what it showed.
void ProgressDisplay::mFTP_FileTransferProgress(const std::int64_t& lCurrentBytes,
                                                const std::int64_t& lTotalBytes) {
  keepSeparator();
  updateRate(lCurrentBytes);
  form::ProgressBar& bar = form_.PB;
  bar.setMax(static_cast<float>(lTotalBytes));
  bar.setMin(0.0F);
  const float previousPosition = bar.value();  // made a whole number when Label9 is written
  view_.yield();
  const auto position = static_cast<float>(lCurrentBytes);
  if (bar.accepts(position)) bar.setValue(position);
  view_.yield();
  hover_ = {bar.value(), bar.max()};
  bar.followToolTip(*this);
  view_.yield();
  showKilobytes();
  view_.yield();
  showPercentage(previousPosition);
  view_.yield();
  rate_ = form_.TransferRate;
  form_.Label10.follow(*this);
  showTimeLeft();
  if (bar.value() == bar.max()) form_.Label9.setText("100%");
}

// The texts take the decimal separator of the event that set them; texts that wait for a read
// when it changes are written at once, with the old one.
void ProgressDisplay::keepSeparator() {
  const std::string_view current = decimalSeparator();
  if (current == separator_) return;
  (void)form_.PB.toolTipText();
  (void)form_.Label10.text();
  (void)form_.Label11.text();
  separator_.assign(current);
}

// Thousands of bytes per second over the whole file so far, two decimals, halves away from
// zero: the rate the display shows, read back from its text.
void ProgressDisplay::updateRate(std::int64_t currentBytes) {
  double elapsed = static_cast<double>(clock_.secondsSinceMidnight()) - form_.TransferStart;
  // The clock restarts at midnight; a transfer running across it is not a negative time.
  if (elapsed < 0.0) elapsed += kSecondsPerDay;
  double bytesPerSecond = 0.0;
  double rate = 0.0;
  float single = 0.0F;
  if (quotient(static_cast<double>(currentBytes), elapsed, bytesPerSecond) &&
      rateThroughItsText(bytesPerSecond, separator_, rate) && singlePrecision(rate, single)) {
    form_.TransferRate = single;
  }
}

void ProgressDisplay::showKilobytes() {
  const form::ProgressBar& bar = form_.PB;
  if (!isWholeNumber(bar.value()) || !isWholeNumber(bar.max())) return;
  kilobytes_ = {bar.value(), bar.max()};
  form_.Label7.follow(*this);
}

// The previous position was read just after the range was set, which nothing but this display
// sets, so it lies within 0..maximum (or is 0 below a negative maximum): the share is at most
// 1 in size, and only a maximum of 0 gives no percentage.
void ProgressDisplay::showPercentage(float previousPosition) {
  const float maximum = form_.PB.max();
  if (maximum == 0.0F) return;
  percentage_ = {previousPosition, maximum};
  form_.Label9.follow(*this);
  if (!view_.isMinimized()) return;
  caption_ = percentage_;
  form_.Caption.follow(*this);
}

// The remaining bytes count in units of 1024 while the rate counts thousands. The seconds are
// rounded down when the text is written: that keeps a number within single precision in it.
void ProgressDisplay::showTimeLeft() {
  const double remaining = static_cast<double>(form_.PB.max()) - form_.PB.value();
  double seconds = 0.0;
  if (!quotient(remaining / static_cast<double>(kBytesPerKilobyte), form_.TransferRate, seconds) ||
      !isSinglePrecision(seconds)) {
    return;
  }
  secondsLeft_ = seconds;
  form_.Label11.follow(*this);
}

void ProgressDisplay::writeText(form::FieldId field, std::string& text) const {
  switch (field) {
    case form::FieldId::PB:
      text.append(generalText(hover_.position, separator_))
          .append(" Bytes od ")
          .append(generalText(hover_.maximum, separator_))
          .append(" Bytes Prenešeno ");
      break;
    case form::FieldId::Label7:
      text.append(kilobytes(kilobytes_.position))
          .append(" KB od ")
          .append(kilobytes(kilobytes_.maximum))
          .append(" KB Prenešeno");
      break;
    case form::FieldId::Label9:
      text.append(percentage(percentage_.position, percentage_.maximum)).append("%");
      break;
    case form::FieldId::Caption:
      text.append("FTP prenos ")
          .append(percentage(caption_.position, caption_.maximum))
          .append("%");
      break;
    case form::FieldId::Label10:
      text.append(rateText(rate_, separator_)).append(" Kbps");
      break;
    case form::FieldId::Label11:
      text.append("Do konca še: ")
          .append(ConvertTime(static_cast<float>(std::floor(secondsLeft_)), separator_));
      break;
    default:
      break;
  }
}

}  // namespace skyhaul::window
