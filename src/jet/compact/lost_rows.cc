// Key segments are read back by undoing index_key.cc's encoding of the fixed-width types, each
// as wide as KeySegmentSize says: the flag byte, then the value's bytes most significant
// first, complemented when descending, with
// the sign bit flipped (integers), or flipped for non-negative and every bit complemented for
// negative values (floating point), or in 8-byte groups (GUIDs). Text keys are sort bytes,
// which do not give the text back.
#include "jet/compact/lost_rows.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "jet/compact/table_survey.h"
#include "jet/keys/index_key.h"
#include "jet/pages/index_page.h"
#include "jet/value_format.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

constexpr size_t kKeysShown = 20;

const Column* ColumnNumbered(const TableDefinition& table, uint16_t number) {
  for (const Column& column : table.columns) {
    if (column.number == number) return &column;
  }
  return nullptr;
}

uint64_t BigEndian(std::span<const uint8_t> bytes) {
  uint64_t value = 0;
  for (uint8_t b : bytes) value = value << 8 | b;
  return value;
}

// With its sign bit flipped, a two's-complement integer reads as itself plus 2^(bits-1).
int64_t SignedFromFlipped(std::span<const uint8_t> bytes) {
  const uint64_t offset = uint64_t{1} << (bytes.size() * 8 - 1);
  return static_cast<int64_t>(BigEndian(bytes) - offset);
}

double FloatingFromKey(std::span<const uint8_t> key_bytes) {
  std::vector<uint8_t> bytes(key_bytes.begin(), key_bytes.end());
  if (bytes[0] & 0x80) {
    bytes[0] ^= 0x80;
  } else {
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(~b);
  }
  const uint64_t raw = BigEndian(bytes);
  if (bytes.size() == 4) {
    float value;
    const uint32_t narrow = static_cast<uint32_t>(raw);
    std::memcpy(&value, &narrow, sizeof value);
    return value;
  }
  double value;
  std::memcpy(&value, &raw, sizeof value);
  return value;
}

// A GUID's key: its 16 bytes in text order as two 8-byte groups, a continuation byte after
// the first and the last group's length after the second.
std::string GuidFromKey(std::span<const uint8_t> key) {
  const std::span<const uint8_t> text = key.first(8), second = key.subspan(9, 8);
  // Text order has the first three groups big-endian; as stored they are little-endian.
  const std::array<uint8_t, 16> stored = {text[3],   text[2],   text[1],   text[0],   text[5],   text[4],
                                          text[7],   text[6],   second[0], second[1], second[2], second[3],
                                          second[4], second[5], second[6], second[7]};
  return FormatGuid(stored);
}

// `bytes` are a segment's value bytes (its width from KeySegmentSize), as stored ascending.
std::optional<std::string> SegmentValue(const Column& column, std::span<const uint8_t> bytes) {
  switch (static_cast<ColumnType>(column.type)) {
    case ColumnType::kByte: return std::to_string(bytes[0]);
    case ColumnType::kInteger:
    case ColumnType::kLong: return std::to_string(SignedFromFlipped(bytes));
    case ColumnType::kCurrency: return FormatCurrency(SignedFromFlipped(bytes));
    case ColumnType::kFloat:
    case ColumnType::kDouble: return FormatJsNumber(FloatingFromKey(bytes));
    case ColumnType::kDateTime: return FormatDateTime(FloatingFromKey(bytes));
    case ColumnType::kRepId: return GuidFromKey(bytes);
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> DescribeKey(const TableDefinition& table, const RealIndex& index,
                                       const std::vector<uint8_t>& key) {
  std::string text;
  size_t at = 0;
  for (const IndexColumn& part : index.columns) {
    const Column* column = ColumnNumbered(table, part.column_number);
    if (!column || at >= key.size()) return std::nullopt;
    const std::optional<size_t> size = KeySegmentSize(column->type, part.ascending, key[at]);
    if (!size || key.size() - at < *size) return std::nullopt;
    std::optional<std::string> value;
    if (*size == 1) {
      value = "Null";
    } else {
      std::vector<uint8_t> bytes(key.begin() + at + 1, key.begin() + at + *size);
      if (!part.ascending) {
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(~b);
      }
      value = SegmentValue(*column, bytes);
    }
    at += *size;
    if (!value) return std::nullopt;
    if (!text.empty()) text += ", ";
    text += ToUtf8(column->name) + " " + *value;
  }
  return text;
}

LostRows NamedRows(Database& source, const TableDefinition& table, uint32_t page,
                   std::optional<uint8_t> row) {
  LostRows named;
  named.page = page;
  named.row = row;
  // The primary key's entries give values; any other sound index gives at least a count.
  std::optional<size_t> primary;
  for (const LogicalIndex& logical : table.logical_indexes) {
    if (logical.primary_key() && logical.real_index < table.real_indexes.size()) primary = logical.real_index;
  }
  std::vector<size_t> order;
  if (primary) order.push_back(*primary);
  for (size_t i = 0; i < table.real_indexes.size(); ++i) {
    if (i != primary) order.push_back(i);
  }
  for (size_t i : order) {
    const RealIndex& index = table.real_indexes[i];
    if (FindIndexDamage(source, table, index)) continue;
    const bool is_primary = i == primary;
    IndexReader reader(source.pages(), source.format(), index.root_page);
    IndexEntry entry;
    while (reader.Next(entry)) {
      if (entry.data_page != page || (row && entry.data_row != *row)) continue;
      ++named.count;
      if (!is_primary || named.keys.size() == kKeysShown) continue;
      if (std::optional<std::string> values = DescribeKey(table, index, entry.key)) named.keys.push_back(*values);
    }
    break;
  }
  if (row) named.count = 1;
  return named;
}

std::string DescribeLoss(const LostRows& lost) {
  std::string text = "table " + ToUtf8(lost.table) + ", ";
  if (lost.whole_table) return text + "its definition at page " + std::to_string(lost.page) + ": " + lost.reason;
  if (lost.row) text += "row " + std::to_string(*lost.row) + " of ";
  text += "data page " + std::to_string(lost.page) + ": " + lost.reason;
  if (lost.row) {
    if (!lost.keys.empty()) text += " (" + lost.keys.front() + ")";
    return text;
  }
  if (lost.count == 0) return text + "; no index tells which rows it held";
  text += "; " + std::to_string(lost.count) + (lost.count == 1 ? " row" : " rows") +
          " an index names " + (lost.count == 1 ? "is" : "are") + " lost with it";
  if (!lost.keys.empty()) {
    text += " (";
    for (size_t i = 0; i < lost.keys.size(); ++i) text += (i ? "; " : "") + lost.keys[i];
    if (lost.keys.size() < lost.count) text += "; …";
    text += ")";
  }
  return text;
}

}  // namespace vintrel::jet
