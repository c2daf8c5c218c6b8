#pragma once
// The number texts of the progress display. Texts with a fraction use the decimal separator of
// the user's locale (LC_NUMERIC); the overloads without `separator` read it on every call, the
// others let a caller read it once for several texts.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skyhaul::window {

// The decimal separator of the current LC_NUMERIC locale; "." when the locale names none.
std::string_view decimalSeparator();

// The digits of `value`, with a leading "-" when negative; no grouping.
std::string plainDecimal(std::int64_t value);

// The general text of a single-precision number, as the classic BASIC gives it: at most 7
// significant digits, no trailing zeros, a "0" before the separator of a value below 1
// ("0.5"); exponent form from 1E+07 up and below 1E-04 ("1.234568E+07", "5E-05"), with at
// least two exponent digits. Zero is "0".
std::string generalText(float value);
std::string generalText(float value, std::string_view separator);

// The pattern "####.00": rounded to two decimals, halves away from zero, taken from the value's
// 15 significant decimal digits; no integer digits when the integer part is 0 (".50", ".00").
std::string twoDecimalsText(double value);
std::string twoDecimalsText(double value, std::string_view separator);

// Reads a text of the pattern "####.00" back as a number; nullopt when the text is not a
// plain decimal number with this separator.
std::optional<double> readTwoDecimals(std::string_view text);
std::optional<double> readTwoDecimals(std::string_view text, std::string_view separator);

// The pattern "##.#0#": rounded to three decimals, halves away from zero, taken from the
// value's 7 significant decimal digits; a zero third decimal is dropped ("62.50", "1.234").
std::string rateText(float value);
std::string rateText(float value, std::string_view separator);

}  // namespace skyhaul::window
