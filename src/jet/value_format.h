// Text forms of stored values, as the canonical dump writes them and as the compaction names
// the rows it cannot copy. Kept apart from both so each rule can be tested on its own.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vintrel::jet {

// As JavaScript's String(number): shortest round-trip digits, exponent form below 1e-6
// and from 1e21; NaN and the infinities as "NaN", "Infinity", "-Infinity"; -0 as "0".
std::string FormatJsNumber(double value);

// A Currency (a count of ten-thousandths) with exactly four fraction digits.
std::string FormatCurrency(int64_t ten_thousandths);

// A Date/Time (days since 1899-12-30) as "YYYY-MM-DD HH:MM:SS.mmm", to the nearest
// millisecond, halves away from zero. Values JavaScript's Date cannot hold read "Invalid Date".
std::string FormatDateTime(double days);

// A Decimal: a 96..128-bit magnitude (most significant 32-bit word first) and a scale.
std::string FormatDecimal(bool negative, const std::array<uint32_t, 4>& magnitude, int scale);

// A GUID as stored (first three groups little-endian), as "{XXXXXXXX-XXXX-...}".
std::string FormatGuid(std::span<const uint8_t, 16> bytes);

std::string FormatHex(std::span<const uint8_t> bytes);

// Appends `text` as a quoted JSON string; unpaired surrogates are written as \uXXXX.
void AppendJsonString(std::string& out, std::u16string_view text);

}  // namespace vintrel::jet
