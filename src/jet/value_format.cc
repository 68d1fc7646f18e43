// Values take the forms JavaScript prints (numbers as String(number) does, dates within the
// range of Date), because the oracle tests compare the dump with mdb-reader's. The exact forms
// use exact arithmetic: decimals and currency are divided out in integers, and dates are split
// in whole milliseconds.
#include "jet/value_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "text/utf.h"

namespace vintrel::jet {

std::string FormatJsNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  if (value == 0) return "0";
  // Shortest digits d1..dk and exponent so that value = 0.d1..dk * 10^point.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                              std::chars_format::scientific);
  std::string_view scientific(buffer, static_cast<size_t>(result.ptr - buffer));
  size_t e = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e)) {
    if (c != '.') digits.push_back(c);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'),
                  scientific.data() + scientific.size(), exponent);
  const int k = static_cast<int>(digits.size());
  const int point = exponent + 1;

  std::string out = value < 0 ? "-" : "";
  if (k <= point && point <= 21) {
    out += digits;
    out.append(static_cast<size_t>(point - k), '0');
  } else if (0 < point && point <= 21) {
    out += digits.substr(0, static_cast<size_t>(point));
    out += '.';
    out += digits.substr(static_cast<size_t>(point));
  } else if (-6 < point && point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out += digits;
  } else {
    out += digits[0];
    if (k > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'e';
    out += point - 1 >= 0 ? '+' : '-';
    out += std::to_string(std::abs(point - 1));
  }
  return out;
}

std::string FormatCurrency(int64_t ten_thousandths) {
  uint64_t magnitude = ten_thousandths < 0 ? 0 - static_cast<uint64_t>(ten_thousandths)
                                           : static_cast<uint64_t>(ten_thousandths);
  // One snprintf rather than "-" + std::to_string(...): GCC 12 at -O3 warns of an overlapping
  // copy there (-Wrestrict), falsely.
  char text[32];
  std::snprintf(text, sizeof text, "%s%llu.%04u", ten_thousandths < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned>(magnitude % 10000));
  return text;
}

namespace {

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

}  // namespace

std::string FormatDateTime(double days) {
  constexpr double kMsPerDay = 86400000.0;
  // 1899-12-30 is 25569 days before 1970-01-01; JavaScript dates end at ±8.64e15 ms.
  constexpr double kEpochShiftMs = 25569.0 * kMsPerDay;
  double ms = std::round(days * kMsPerDay);
  if (!std::isfinite(ms) || std::fabs(ms - kEpochShiftMs) > 8.64e15) return "Invalid Date";
  int64_t unix_ms = static_cast<int64_t>(ms) - static_cast<int64_t>(kEpochShiftMs);
  int64_t day_number = unix_ms >= 0 ? unix_ms / 86400000 : -((-unix_ms + 86399999) / 86400000);
  int64_t in_day = unix_ms - day_number * 86400000;
  int64_t year;
  unsigned month, day;
  CivilFromDays(day_number, year, month, day);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s%04lld-%02u-%02u %02u:%02u:%02u.%03u",
                year < 0 ? "-" : "", static_cast<long long>(year < 0 ? -year : year), month, day,
                static_cast<unsigned>(in_day / 3600000), static_cast<unsigned>(in_day / 60000 % 60),
                static_cast<unsigned>(in_day / 1000 % 60), static_cast<unsigned>(in_day % 1000));
  return buffer;
}

std::string FormatDecimal(bool negative, const std::array<uint32_t, 4>& magnitude, int scale) {
  std::array<uint32_t, 4> words = magnitude;
  std::string reversed;
  auto is_zero = [&] { return words[0] == 0 && words[1] == 0 && words[2] == 0 && words[3] == 0; };
  while (!is_zero()) {
    uint64_t remainder = 0;
    for (uint32_t& word : words) {
      uint64_t current = (remainder << 32) | word;
      word = static_cast<uint32_t>(current / 10);
      remainder = current % 10;
    }
    reversed.push_back(static_cast<char>('0' + remainder));
  }
  const bool zero = reversed.empty();
  if (scale < 0) scale = 0;
  while (reversed.size() <= static_cast<size_t>(scale)) reversed.push_back('0');
  std::string out = negative && !zero ? "-" : "";
  for (size_t i = reversed.size(); i-- > 0;) {
    out += reversed[i];
    if (i == static_cast<size_t>(scale) && scale > 0) out += '.';
  }
  return out;
}

std::string FormatGuid(std::span<const uint8_t, 16> b) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return buffer;
}

std::string FormatHex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

namespace {

void AppendEscape(std::string& out, unsigned unit) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", unit);
  out += buffer;
}

}  // namespace

void AppendJsonString(std::string& out, std::u16string_view text) {
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    switch (unit) {
      case u'"': out += "\\\""; continue;
      case u'\\': out += "\\\\"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\r': out += "\\r"; continue;
      case u'\t': out += "\\t"; continue;
      case u'\b': out += "\\b"; continue;
      case u'\f': out += "\\f"; continue;
      default: break;
    }
    if (unit < 0x20) {
      AppendEscape(out, unit);
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
               text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      vintrel::AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendEscape(out, unit);
    } else {
      vintrel::AppendUtf8(out, unit);
    }
  }
  out += '"';
}

}  // namespace vintrel::jet
