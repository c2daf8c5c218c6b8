#include "window/NumberText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "support/CommaLocale.h"

namespace skyhaul::window {
namespace {

using test::CommaLocale;

template <typename Number>
struct TextCase {
  Number value;
  std::string text;
};

template <typename Number>
void PrintTo(const TextCase<Number>& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.value) << " -> " << c.text;
}

class GeneralText : public ::testing::TestWithParam<TextCase<float>> {};

TEST_P(GeneralText, WritesASinglePrecisionNumber) {
  EXPECT_EQ(generalText(GetParam().value, "."), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GeneralText,
    ::testing::Values(
        TextCase<float>{0.0F, "0"}, TextCase<float>{-0.0F, "0"}, TextCase<float>{1.0F, "1"},
        TextCase<float>{-1.0F, "-1"}, TextCase<float>{100.0F, "100"},
        TextCase<float>{123456.0F, "123456"}, TextCase<float>{1000000.0F, "1000000"},
        TextCase<float>{9999999.0F, "9999999"}, TextCase<float>{9999999.5F, "1E+07"},
        TextCase<float>{10000000.0F, "1E+07"}, TextCase<float>{12345678.0F, "1.234568E+07"},
        TextCase<float>{-12345678.0F, "-1.234568E+07"},
        TextCase<float>{2147483904.0F, "2.147484E+09"}, TextCase<float>{3.4E+38F, "3.4E+38"},
        TextCase<float>{0.5F, "0.5"}, TextCase<float>{-0.5F, "-0.5"},
        TextCase<float>{61.73F, "61.73"}, TextCase<float>{123.456789F, "123.4568"},
        TextCase<float>{0.0001F, "0.0001"}, TextCase<float>{0.00012345F, "0.00012345"},
        TextCase<float>{0.00005F, "5E-05"}, TextCase<float>{0.00001F, "1E-05"},
        TextCase<float>{1.5E-10F, "1.5E-10"},
        TextCase<float>{std::numeric_limits<float>::denorm_min(), "1.401298E-45"}));

class TwoDecimals : public ::testing::TestWithParam<TextCase<double>> {};

TEST_P(TwoDecimals, FollowsThePattern) {
  EXPECT_EQ(twoDecimalsText(GetParam().value, "."), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, TwoDecimals,
    ::testing::Values(TextCase<double>{61.728, "61.73"}, TextCase<double>{0.5, ".50"},
                      TextCase<double>{0.0, ".00"}, TextCase<double>{1234.5, "1234.50"},
                      // Halves away from zero, judged on the decimal digits, not the binary.
                      TextCase<double>{62.505, "62.51"}, TextCase<double>{0.005, ".01"},
                      TextCase<double>{-0.005, "-.01"}, TextCase<double>{-61.728, "-61.73"},
                      TextCase<double>{0.004, ".00"}, TextCase<double>{-0.004, ".00"},
                      TextCase<double>{999.995, "1000.00"},
                      TextCase<double>{12345678.125, "12345678.13"},
                      TextCase<double>{1E+15, "1000000000000000.00"},
                      TextCase<double>{0.0004, ".00"}, TextCase<double>{1E-20, ".00"}));

class RateText : public ::testing::TestWithParam<TextCase<float>> {};

TEST_P(RateText, FollowsThePattern) { EXPECT_EQ(rateText(GetParam().value, "."), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Values, RateText,
    ::testing::Values(TextCase<float>{61.73F, "61.73"}, TextCase<float>{62.5F, "62.50"},
                      TextCase<float>{0.5F, ".50"}, TextCase<float>{0.0F, ".00"},
                      TextCase<float>{1.234F, "1.234"}, TextCase<float>{1.2F, "1.20"},
                      TextCase<float>{1.2304F, "1.23"}, TextCase<float>{1.2345F, "1.235"},
                      TextCase<float>{9.9995F, "10.00"}, TextCase<float>{-62.5F, "-62.50"},
                      TextCase<float>{12345.67F, "12345.67"}));

TEST(PlainDecimal, WritesWholeNumbers) {
  EXPECT_EQ(plainDecimal(0), "0");
  EXPECT_EQ(plainDecimal(976), "976");
  EXPECT_EQ(plainDecimal(-5), "-5");
  EXPECT_EQ(plainDecimal(3145728), "3145728");
  EXPECT_EQ(plainDecimal(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(plainDecimal(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
}

struct ReadCase {
  std::string text;
  std::string separator;
  std::optional<double> value;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.text << " with " << c.separator; }

class ReadTwoDecimals : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTwoDecimals, ReadsThePatternBack) {
  EXPECT_EQ(readTwoDecimals(GetParam().text, GetParam().separator), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadTwoDecimals,
    ::testing::Values(ReadCase{"61.73", ".", 61.73}, ReadCase{".50", ".", 0.5},
                      ReadCase{"-.50", ".", -0.5}, ReadCase{"1234.50", ".", 1234.5},
                      ReadCase{".00", ".", 0.0}, ReadCase{"61,73", ",", 61.73},
                      ReadCase{"61.73", ",", std::nullopt}, ReadCase{"1,5", ".", std::nullopt},
                      ReadCase{"", ".", std::nullopt}, ReadCase{".", ".", std::nullopt},
                      ReadCase{"-", ".", std::nullopt}, ReadCase{"1.2.3", ".", std::nullopt},
                      ReadCase{" 1.5", ".", std::nullopt}, ReadCase{"1-5", ".", std::nullopt},
                      ReadCase{"inf", ".", std::nullopt}, ReadCase{"1e5", ".", std::nullopt}));

TEST(NumberTextLocale, TheCLocaleUsesAPoint) {
  EXPECT_EQ(decimalSeparator(), ".");
  EXPECT_EQ(generalText(0.5F), "0.5");
  EXPECT_EQ(twoDecimalsText(61.728), "61.73");
  EXPECT_EQ(rateText(62.5F), "62.50");
  EXPECT_EQ(readTwoDecimals("61.73"), 61.73);
}

TEST(NumberTextLocale, TextsFollowTheUsersSeparator) {
  const CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma can be built here";
  EXPECT_EQ(decimalSeparator(), ",");
  EXPECT_EQ(generalText(0.5F), "0,5");
  EXPECT_EQ(generalText(12345678.0F), "1,234568E+07");
  EXPECT_EQ(generalText(123456.0F), "123456");
  EXPECT_EQ(twoDecimalsText(61.728), "61,73");
  EXPECT_EQ(twoDecimalsText(1234.5), "1234,50");
  EXPECT_EQ(rateText(62.5F), "62,50");
  EXPECT_EQ(readTwoDecimals("61,73"), 61.73);
  EXPECT_EQ(readTwoDecimals("61.73"), std::nullopt);
}

}  // namespace
}  // namespace skyhaul::window
