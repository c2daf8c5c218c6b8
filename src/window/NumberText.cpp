#include "window/NumberText.h"

#include <langinfo.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>

namespace skyhaul::window {

namespace {

// Exponent form starts at 1E+07 and below 1E-04, as the classic BASIC writes a Single.
constexpr int kExponentFormFrom = 7;
constexpr int kExponentFormBelow = -4;

// The significant decimal digits of a number: ±d1.d2d3... × 10^exponent. Only zero has a
// leading digit of 0.
struct Digits {
  std::array<char, 20> digit{};
  int count = 0;
  int exponent = 0;
  bool negative = false;
  std::string_view view() const { return {digit.data(), static_cast<std::size_t>(count)}; }
};

// Correctly rounded to `significant` digits; the value must be finite.
template <typename Number>
Digits decimalDigits(Number value, int significant) {
  std::array<char, 48> buffer{};
  const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                     std::chars_format::scientific, significant - 1);
  std::string_view text(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data()));
  Digits digits;
  digits.negative = text.front() == '-';
  if (digits.negative) text.remove_prefix(1);
  const std::size_t e = text.find('e');
  for (const char c : text.substr(0, e)) {
    if (c != '.') digits.digit[static_cast<std::size_t>(digits.count++)] = c;
  }
  const bool negativeExponent = text[e + 1] == '-';
  std::from_chars(text.data() + e + 2, text.data() + text.size(), digits.exponent);
  if (negativeExponent) digits.exponent = -digits.exponent;
  return digits;
}

template <typename Number>
std::string nonFiniteText(Number value) {
  std::array<char, 8> buffer{};
  const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return {buffer.data(), written.ptr};
}

void roundUp(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The digits of |value| × 10^decimals rounded to a whole number, halves away from zero.
std::string scaledDigits(const Digits& digits, int decimals) {
  const int keep = digits.exponent + 1 + decimals;
  if (keep <= 0) return keep == 0 && digits.digit[0] >= '5' ? "1" : "0";
  std::string scaled(digits.view().substr(0, static_cast<std::size_t>(keep)));
  if (keep < digits.count) {
    if (digits.digit[static_cast<std::size_t>(keep)] >= '5') roundUp(scaled);
  } else {
    scaled.append(static_cast<std::size_t>(keep - digits.count), '0');
  }
  return scaled;
}

// A fixed-decimal pattern: integer digits without leading zeros, the separator, `decimals`
// digits; with `dropZeroLast` a zero in the last place goes.
std::string fixedText(const Digits& digits, std::size_t decimals, std::string_view separator,
                      bool dropZeroLast) {
  std::string scaled = scaledDigits(digits, static_cast<int>(decimals));
  if (scaled.size() < decimals) scaled.insert(0, decimals - scaled.size(), '0');
  const std::string_view all(scaled);
  std::string_view integerPart = all.substr(0, all.size() - decimals);
  integerPart.remove_prefix(std::min(integerPart.find_first_not_of('0'), integerPart.size()));
  std::string_view fraction = all.substr(all.size() - decimals);
  if (dropZeroLast && fraction.back() == '0') fraction.remove_suffix(1);
  std::string text;
  text.reserve(1 + integerPart.size() + separator.size() + fraction.size());
  if (digits.negative && all.find_first_not_of('0') != std::string_view::npos) text += '-';
  text.append(integerPart).append(separator).append(fraction);
  return text;
}

void appendExponent(std::string& text, int exponent) {
  text += exponent < 0 ? "E-" : "E+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) text += '0';
  std::array<char, 8> buffer{};
  const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
  text.append(buffer.data(), written.ptr);
}

std::string generalFromDigits(Digits digits, std::string_view separator) {
  while (digits.count > 1 && digits.digit[static_cast<std::size_t>(digits.count - 1)] == '0') {
    --digits.count;
  }
  if (digits.digit[0] == '0') return "0";
  const std::string_view significant = digits.view();
  std::string text;
  if (digits.negative) text += '-';
  if (digits.exponent >= kExponentFormFrom || digits.exponent < kExponentFormBelow) {
    text += significant.front();
    if (significant.size() > 1) text.append(separator).append(significant.substr(1));
    appendExponent(text, digits.exponent);
  } else if (digits.exponent >= 0) {
    const auto integerDigits = static_cast<std::size_t>(digits.exponent + 1);
    text.append(significant.substr(0, integerDigits));
    if (significant.size() < integerDigits) text.append(integerDigits - significant.size(), '0');
    if (significant.size() > integerDigits) {
      text.append(separator).append(significant.substr(integerDigits));
    }
  } else {
    text.append("0").append(separator);
    text.append(static_cast<std::size_t>(-digits.exponent - 1), '0').append(significant);
  }
  return text;
}

}  // namespace

// The same text localeconv() names as decimal_point, without filling in all of its record: the
// progress display asks for it after every chunk.
std::string_view decimalSeparator() {
  const char* separator = ::nl_langinfo(RADIXCHAR);
  if (separator == nullptr || separator[0] == '\0') return ".";
  // Nearly every locale has a one-byte separator; the progress display asks after every chunk.
  if (separator[1] == '\0') return {separator, 1};
  return separator;
}

std::string plainDecimal(std::int64_t value) {
  std::array<char, 24> buffer{};
  const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return {buffer.data(), written.ptr};
}

std::string generalText(float value) { return generalText(value, decimalSeparator()); }

std::string generalText(float value, std::string_view separator) {
  if (!std::isfinite(value)) return nonFiniteText(value);
  return generalFromDigits(decimalDigits(value, 7), separator);
}

std::string twoDecimalsText(double value) { return twoDecimalsText(value, decimalSeparator()); }

std::string twoDecimalsText(double value, std::string_view separator) {
  if (!std::isfinite(value)) return nonFiniteText(value);
  return fixedText(decimalDigits(value, 15), 2, separator, false);
}

std::optional<double> readTwoDecimals(std::string_view text) {
  return readTwoDecimals(text, decimalSeparator());
}

std::optional<double> readTwoDecimals(std::string_view text, std::string_view separator) {
  std::string plain;
  plain.reserve(text.size());
  bool separatorSeen = false;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c >= '0' && c <= '9') {
      plain += c;
    } else if (c == '-' && at == 0) {
      plain += c;
    } else if (!separatorSeen && !separator.empty() && text.substr(at).starts_with(separator)) {
      separatorSeen = true;
      plain += '.';
      at += separator.size() - 1;
    } else {
      return std::nullopt;
    }
  }
  double value = 0.0;
  const auto read =
      std::from_chars(plain.data(), plain.data() + plain.size(), value, std::chars_format::fixed);
  if (read.ec != std::errc() || read.ptr != plain.data() + plain.size()) return std::nullopt;
  return value;
}

std::string rateText(float value) { return rateText(value, decimalSeparator()); }

std::string rateText(float value, std::string_view separator) {
  if (!std::isfinite(value)) return nonFiniteText(value);
  return fixedText(decimalDigits(value, 7), 3, separator, true);
}

}  // namespace skyhaul::window
