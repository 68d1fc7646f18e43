#include "jet/value_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vintrel::jet {
namespace {

TEST(JsNumberTest, FollowsJavaScriptStringRules) {
  EXPECT_EQ(FormatJsNumber(0.0), "0");
  EXPECT_EQ(FormatJsNumber(-0.0), "0");
  EXPECT_EQ(FormatJsNumber(1.0), "1");
  EXPECT_EQ(FormatJsNumber(-12.5), "-12.5");
  EXPECT_EQ(FormatJsNumber(0.1), "0.1");
  EXPECT_EQ(FormatJsNumber(123456789012345680000.0), "123456789012345680000");
  EXPECT_EQ(FormatJsNumber(1e21), "1e+21");
  EXPECT_EQ(FormatJsNumber(1.5e300), "1.5e+300");
  EXPECT_EQ(FormatJsNumber(0.000001), "0.000001");
  EXPECT_EQ(FormatJsNumber(1e-7), "1e-7");
  EXPECT_EQ(FormatJsNumber(-2.5e-8), "-2.5e-8");
  EXPECT_EQ(FormatJsNumber(5e-324), "5e-324");
  EXPECT_EQ(FormatJsNumber(1.7976931348623157e308), "1.7976931348623157e+308");
  EXPECT_EQ(FormatJsNumber(100), "100");
}

TEST(JsNumberTest, SinglesAreWidenedFirst) {
  EXPECT_EQ(FormatJsNumber(static_cast<double>(0.1f)), "0.10000000149011612");
  EXPECT_EQ(FormatJsNumber(static_cast<double>(3.5f)), "3.5");
}

TEST(JsNumberTest, NonFiniteValuesAreNamed) {
  EXPECT_EQ(FormatJsNumber(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(FormatJsNumber(std::numeric_limits<double>::infinity()), "Infinity");
  EXPECT_EQ(FormatJsNumber(-std::numeric_limits<double>::infinity()), "-Infinity");
}

TEST(CurrencyTest, FourFractionDigitsAndExactExtremes) {
  EXPECT_EQ(FormatCurrency(0), "0.0000");
  EXPECT_EQ(FormatCurrency(-123400), "-12.3400");
  EXPECT_EQ(FormatCurrency(1), "0.0001");
  EXPECT_EQ(FormatCurrency(-1), "-0.0001");
  EXPECT_EQ(FormatCurrency(std::numeric_limits<int64_t>::min()), "-922337203685477.5808");
  EXPECT_EQ(FormatCurrency(std::numeric_limits<int64_t>::max()), "922337203685477.5807");
}

TEST(DateTimeTest, DaysSince1899) {
  EXPECT_EQ(FormatDateTime(0), "1899-12-30 00:00:00.000");
  EXPECT_EQ(FormatDateTime(1.5), "1899-12-31 12:00:00.000");
  EXPECT_EQ(FormatDateTime(25569), "1970-01-01 00:00:00.000");
  EXPECT_EQ(FormatDateTime(36526.75), "2000-01-01 18:00:00.000");
  EXPECT_EQ(FormatDateTime(2958465.99999999), "9999-12-31 23:59:59.999");
  EXPECT_EQ(FormatDateTime(60), "1900-02-28 00:00:00.000") << "no 1900-02-29";
}

TEST(DateTimeTest, NegativeDaysCountBackLinearly) {
  EXPECT_EQ(FormatDateTime(-1.25), "1899-12-28 18:00:00.000");
  EXPECT_EQ(FormatDateTime(-693593), "0001-01-01 00:00:00.000");
}

TEST(DateTimeTest, MillisecondsRoundHalfAwayFromZero) {
  EXPECT_EQ(FormatDateTime(0.5 / 86400000.0), "1899-12-30 00:00:00.001");
  EXPECT_EQ(FormatDateTime(0.4 / 86400000.0), "1899-12-30 00:00:00.000");
}

TEST(DateTimeTest, ValuesBeyondJavaScriptDatesAreInvalid) {
  EXPECT_EQ(FormatDateTime(1e300), "Invalid Date");
  EXPECT_EQ(FormatDateTime(std::nan("")), "Invalid Date");
}

TEST(DecimalTest, ScaleAndSign) {
  EXPECT_EQ(FormatDecimal(false, {0, 0, 0, 12345}, 2), "123.45");
  EXPECT_EQ(FormatDecimal(true, {0, 0, 0, 12345}, 2), "-123.45");
  EXPECT_EQ(FormatDecimal(false, {0, 0, 0, 5}, 3), "0.005");
  EXPECT_EQ(FormatDecimal(false, {0, 0, 0, 0}, 2), "0.00");
  EXPECT_EQ(FormatDecimal(true, {0, 0, 0, 0}, 0), "0") << "no negative zero";
  EXPECT_EQ(FormatDecimal(false, {0, 0, 0, 7}, 0), "7");
}

TEST(DecimalTest, WideMagnitudes) {
  EXPECT_EQ(FormatDecimal(false, {0, 0, 1, 0}, 0), "4294967296");
  EXPECT_EQ(FormatDecimal(false, {0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, 28),
            "7.9228162514264337593543950335");
  EXPECT_EQ(FormatDecimal(false, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, 0),
            "340282366920938463463374607431768211455");
}

TEST(GuidTest, FirstThreeGroupsAreLittleEndian) {
  const uint8_t bytes[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                             0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  EXPECT_EQ(FormatGuid(bytes), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

TEST(JsonStringTest, EscapesLikeJsonStringify) {
  std::string out;
  AppendJsonString(out, u"a\"b\\c\n\r\t\b\f\x01\x1f");
  EXPECT_EQ(out, "\"a\\\"b\\\\c\\n\\r\\t\\b\\f\\u0001\\u001f\"");
  out.clear();
  AppendJsonString(out, u"\u00e9\u0416\U0001F600/");
  EXPECT_EQ(out, "\"\xc3\xa9\xd0\x96\xf0\x9f\x98\x80/\"");
  out.clear();
  AppendJsonString(out, std::u16string(1, char16_t{0xD800}) + u"x" + std::u16string(1, char16_t{0xDC01}));
  EXPECT_EQ(out, "\"\\ud800x\\udc01\"");
  out.clear();
  AppendJsonString(out, std::u16string(1, u'\0'));
  EXPECT_EQ(out, "\"\\u0000\"");
}

TEST(HexTest, LowercasePairs) {
  const uint8_t bytes[] = {0x00, 0xAB, 0x7F};
  EXPECT_EQ(FormatHex(bytes), "00ab7f");
  EXPECT_EQ(FormatHex({}), "");
}

}  // namespace
}  // namespace vintrel::jet
