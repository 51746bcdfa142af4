// Lines and fields worked out by hand from the layout rules: a leading
// blank, one blank between items but none between two texts, 12-column
// integers, 25-column doubles (16 significant digits, fixed between 0.1 and
// 1e16 and for zero, otherwise d.16 digits E+xxx), a new line before an
// item that would pass column 79; Aw, Fw.d and Ew.d fields.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/format.hpp"

namespace box {
namespace {

using std::string_view_literals::operator""sv;

TEST(FreeDouble, FixedNotationHasSixteenDigitsAndFiveTrailingBlanks) {
  EXPECT_EQ(free_double(1.0), "   1.000000000000000     ");
  EXPECT_EQ(free_double(-2.5), "  -2.500000000000000     ");
  EXPECT_EQ(free_double(123.456), "   123.4560000000000     ");
  EXPECT_EQ(free_double(2.0 / 3.0), "  0.6666666666666666     ");
  EXPECT_EQ(free_double(18.4), "   18.40000000000000     ");
}

TEST(FreeDouble, ZeroIsFixedWithFifteenDecimalsAndNoSign) {
  EXPECT_EQ(free_double(0.0), "   0.000000000000000     ");
  EXPECT_EQ(free_double(-0.0), "   0.000000000000000     ");
}

TEST(FreeDouble, SwitchAtOneTenth) {
  // 0.1 is held as 0.1000000000000000055…: fixed. The double just below it
  // is 0.09999999999999999167…, which keeps 16 nines: exponent notation.
  EXPECT_EQ(free_double(0.1), "  0.1000000000000000     ");
  EXPECT_EQ(free_double(std::nextafter(0.1, 0.0)), "  9.9999999999999992E-002");
  EXPECT_EQ(free_double(-1.5e-5), " -1.5000000000000000E-005");
}

TEST(FreeDouble, SwitchAtTenToTheSixteen) {
  // Largest fixed value: 16 integer digits, no decimals, the point kept.
  EXPECT_EQ(free_double(9999999999999998.0), "   9999999999999998.     ");
  EXPECT_EQ(free_double(1e16), "  1.0000000000000000E+016");
  EXPECT_EQ(free_double(6.02e23), "  6.0200000000000000E+023");
}

TEST(FreeDouble, ThreeDigitExponents) {
  EXPECT_EQ(free_double(1e-300), "  1.0000000000000000E-300");
  EXPECT_EQ(free_double(-1.7976931348623157e308), " -1.7976931348623157E+308");
  for (double x : {1e-300, 0.1, 1.0, 1e15, 1e16, 1e300})
    EXPECT_EQ(free_double(x).size(), 25u) << x;
}

TEST(FreeInt, TwelveColumns) {
  EXPECT_EQ(free_int(42), "          42");
  EXPECT_EQ(free_int(-2147483647 - 1), " -2147483648");
}

TEST(FreeLines, StartUpLineWrapsBeforeItsThirdNumber) {
  // " ph_acetp=" and two numbers make 62 columns; the third would end at 88.
  const LineItem items[] = {"ph_acetp="sv, 0.0, 0.0, 0.0};
  EXPECT_EQ(free_lines(items),
            " ph_acetp=    0.000000000000000         0.000000000000000     \n"
            "    0.000000000000000     \n");
}

TEST(FreeLines, EchoLineWrapsAfterOneNumber) {
  // 30 columns of text, then 26 per number: the second number would end at
  // column 82.
  const LineItem items[] = {"Ozone_read, NO_read, NO2_read"sv, 18.4, 1.8, 7.5};
  EXPECT_EQ(free_lines(items),
            " Ozone_read, NO_read, NO2_read    18.40000000000000     \n"
            "    1.800000000000000         7.500000000000000     \n");
}

TEST(FreeLines, AdjacentTextsHaveNoBlankAndKeepTheirTrailingBlanks) {
  const LineItem items[] = {"a"sv, "b  "sv, "c"sv, std::int32_t{1}, "d"sv};
  EXPECT_EQ(free_lines(items), " ab  c            1 d\n");
}

TEST(FreeLines, LineMayEndExactlyAtColumn79) {
  const std::string text65(65, 'x');
  const std::string text66(66, 'x');
  // 1 + 65 + 1 + 12 = 79: fits.
  const LineItem fits[] = {std::string_view(text65), std::int32_t{7}};
  EXPECT_EQ(free_lines(fits), " " + text65 + "            7\n");
  // 1 + 66 + 1 + 12 = 80: the integer starts a new line, with no
  // separator blank after the leading one.
  const LineItem wraps[] = {std::string_view(text66), std::int32_t{7}};
  EXPECT_EQ(free_lines(wraps), " " + text66 + "\n            7\n");
}

TEST(FreeLines, TextAfterTextWrapsToo) {
  const std::string text78(78, 'y');
  const LineItem items[] = {std::string_view(text78), "z"sv};
  EXPECT_EQ(free_lines(items), " " + text78 + "\n z\n");
}

TEST(FreeLines, OverlongFirstItemStaysOnTheFirstLine) {
  const std::string text90(90, 'w');
  const LineItem items[] = {std::string_view(text90), 1.0};
  EXPECT_EQ(free_lines(items), " " + text90 + "\n    1.000000000000000     \n");
}

TEST(FreeLines, EveryLineStartsWithABlankAndStaysWithinLimit) {
  const std::vector<LineItem> items(10, LineItem{2.0});
  const std::string out = free_lines(items);
  // Three 25-column numbers per line: 1 + 25 + 1 + 25 + 1 + 25 = 78.
  std::size_t lines = 0;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, free_line_width);
    EXPECT_EQ(out[start], ' ');
    ++lines;
  }
  EXPECT_EQ(lines, 4u);
}

TEST(LabelField, RightJustifiedOrCut) {
  EXPECT_EQ(label_field("timloc=", 9), "  timloc=");
  EXPECT_EQ(label_field("HO2", 9), "      HO2");
  EXPECT_EQ(label_field("0123456789ab", 9), "012345678");
}

TEST(FixedField, LeadingZeroAndWidth) {
  EXPECT_EQ(fixed_field(5.0, 9, 3), "    5.000");
  EXPECT_EQ(fixed_field(0.005, 7, 3), "  0.005");
  EXPECT_EQ(fixed_field(-0.25, 7, 3), " -0.250");
  EXPECT_EQ(fixed_field(10.0, 9, 3), "   10.000");
}

TEST(FixedField, RoundedZeroHasNoSign) {
  EXPECT_EQ(fixed_field(-0.0004, 7, 3), "  0.000");
  EXPECT_EQ(fixed_field(-0.0, 9, 3), "    0.000");
  EXPECT_EQ(fixed_field(-1e-300, 7, 3), "  0.000");
}

TEST(FixedField, RoundsTheExactBinaryValue) {
  // 1.0005 is held as 1.000499999…, 2.0005 as 2.000500000…08: a decimal
  // round-half-up would give 1.001 for both.
  EXPECT_EQ(fixed_field(1.0005, 7, 3), "  1.000");
  EXPECT_EQ(fixed_field(2.0005, 7, 3), "  2.001");
  // -0.0005 is held slightly beyond -0.0005: it keeps its sign.
  EXPECT_EQ(fixed_field(-0.0005, 7, 3), " -0.001");
  // 0.0625 is an exact tie: to even.
  EXPECT_EQ(fixed_field(0.0625, 7, 3), "  0.062");
  EXPECT_EQ(fixed_field(9.9996, 7, 3), " 10.000");
}

TEST(FixedField, AsterisksWhenTooWide) {
  EXPECT_EQ(fixed_field(999.999, 7, 3), "999.999");
  EXPECT_EQ(fixed_field(999.9995, 7, 3), "*******");  // rounds to 1000.000
  EXPECT_EQ(fixed_field(1000.0, 7, 3), "*******");
  EXPECT_EQ(fixed_field(-99.999, 7, 3), "-99.999");
  EXPECT_EQ(fixed_field(-100.0, 7, 3), "*******");
  EXPECT_EQ(fixed_field(99999.999, 9, 3), "99999.999");
  EXPECT_EQ(fixed_field(100000.0, 9, 3), "*********");
  EXPECT_EQ(fixed_field(1e300, 9, 3), "*********");
}

TEST(FixedField, LeadingZeroDroppedOnlyWhenItAloneOverflows) {
  EXPECT_EQ(fixed_field(0.5, 4, 3), ".500");
  EXPECT_EQ(fixed_field(-0.5, 5, 3), "-.500");
  EXPECT_EQ(fixed_field(-0.5, 4, 3), "****");
}

TEST(ExponentField, MantissaBehindThePoint) {
  EXPECT_EQ(exponent_field(1.0, 28, 7), "               0.1000000E+01");
  EXPECT_EQ(exponent_field(0.0, 28, 7), "               0.0000000E+00");
  EXPECT_EQ(exponent_field(0.1, 28, 7), "               0.1000000E+00");
  EXPECT_EQ(exponent_field(-1.234567e-5, 28, 7), "              -0.1234567E-04");
}

TEST(ExponentField, RoundingCarriesIntoTheExponent) {
  EXPECT_EQ(exponent_field(9.99999999, 28, 7), "               0.1000000E+02");
  EXPECT_EQ(exponent_field(9.9999994, 28, 7), "               0.9999999E+01");
}

TEST(ExponentField, ThreeDigitExponentReplacesTheLetter) {
  EXPECT_EQ(exponent_field(1e-100, 28, 7), "               0.1000000E-99");
  EXPECT_EQ(exponent_field(1e-101, 28, 7), "               0.1000000-100");
  EXPECT_EQ(exponent_field(1.5e200, 28, 7), "               0.1500000+201");
  EXPECT_EQ(exponent_field(1.0, 12, 7), ".1000000E+01");
}

}  // namespace
}  // namespace box
