// Keys are built straight from a row's stored bytes. Text is walked in its stored Jet 4 form,
// compressed or not, without being decoded to a string, and the scratch buffers are reused from
// row to row. Column types and sort orders are checked once, when the encoder is made, so
// Encode fails only on a value it cannot key.
#include "jet/keys/index_key.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "jet/jet_error.h"
#include "jet/keys/general_sort_order.h"
#include "jet/text_codec.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

constexpr uint8_t kAscendingFlag = 0x7F;
constexpr uint8_t kDescendingFlag = 0x80;
constexpr uint8_t kAscendingNull = 0x00;
constexpr uint8_t kDescendingNull = 0xFF;

// Text keys: only this many characters of a value are keyed.
constexpr size_t kMaxKeyedCharacters = 255;
constexpr uint8_t kEndOfText = 0x01;
constexpr uint8_t kEndOfValue = 0x00;
// An accent part position of a character without accent bytes.
constexpr uint8_t kNoAccent = 0x02;
// An unprintable character's entry: (first + step * position) | flag, big-endian, then the
// separator and its code.
constexpr unsigned kUnprintableFirst = 7;
constexpr unsigned kUnprintableStep = 4;
constexpr unsigned kUnprintableFlag = 0x8000;
constexpr uint8_t kUnprintableSeparator = 0x06;
// The kana part: each kana's size mark, three to a byte after kKanaMarksStart, the full-size
// marks that end it left out; then the fixed suffix, whatever the count of kana; then FF when
// the unprintable part follows.
constexpr uint8_t kSmallKana = 0x02;
constexpr uint8_t kFullSizeKana = 0x03;
constexpr uint8_t kKanaMarksStart = 0x80;
constexpr size_t kKanaMarksPerByte = 3;
constexpr uint8_t kKanaSuffix[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr uint8_t kKanaBeforeUnprintable = 0xFF;

constexpr uint8_t kGroupContinues = 0x09;
constexpr size_t kGroupSize = 8;

std::string ColumnName(const Column& column) { return "'" + ToUtf8(column.name) + "'"; }

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// The types whose keys have one width: the bytes a row stores (a Boolean stores none, its
// value is the row's null-mask bit) and those its key segment holds after the flag.
struct FixedWidths {
  size_t stored;
  size_t key;
};

std::optional<FixedWidths> FixedWidthsOf(ColumnType type) {
  switch (type) {
    case ColumnType::kBoolean: return FixedWidths{0, 1};
    case ColumnType::kByte: return FixedWidths{1, 1};
    case ColumnType::kInteger: return FixedWidths{2, 2};
    case ColumnType::kLong:
    case ColumnType::kFloat: return FixedWidths{4, 4};
    case ColumnType::kCurrency:
    case ColumnType::kDouble:
    case ColumnType::kDateTime: return FixedWidths{8, 8};
    case ColumnType::kRepId: return FixedWidths{16, 2 * (kGroupSize + 1)};  // two groups, each with its mark
    case ColumnType::kNumeric: return FixedWidths{17, 17};
    default: return std::nullopt;
  }
}

bool Keyable(ColumnType type) {
  switch (type) {
    case ColumnType::kBinary:
    case ColumnType::kText:
    case ColumnType::kMemo: return true;
    default: return FixedWidthsOf(type).has_value();
  }
}

void Complement(std::vector<uint8_t>& key, size_t from) {
  for (size_t i = from; i < key.size(); ++i) key[i] = static_cast<uint8_t>(~key[i]);
}

// The stored little-endian value, most significant byte first.
void AppendReversed(const std::vector<uint8_t>& value, std::vector<uint8_t>& key) {
  key.insert(key.end(), value.rbegin(), value.rend());
}

void AppendGroups(const uint8_t* data, size_t size, bool ascending, std::vector<uint8_t>& key) {
  const uint8_t mask = ascending ? 0x00 : 0xFF;
  size_t at = 0;
  while (size - at > kGroupSize) {
    for (size_t i = 0; i < kGroupSize; ++i) key.push_back(data[at + i] ^ mask);
    key.push_back(kGroupContinues);
    at += kGroupSize;
  }
  if (at == size) return;
  const size_t last = size - at;
  for (size_t i = 0; i < kGroupSize; ++i) key.push_back((i < last ? data[at + i] : 0) ^ mask);
  key.push_back(static_cast<uint8_t>(last) ^ mask);
}

// Appends the kana part for `marks`, one per kana of the text; leaves `marks` trimmed.
void AppendKanaPart(std::vector<uint8_t>& marks, std::vector<uint8_t>& key) {
  while (!marks.empty() && marks.back() == kFullSizeKana) marks.pop_back();
  for (size_t at = 0; at < marks.size(); at += kKanaMarksPerByte) {
    uint8_t packed = kKanaMarksStart;
    for (size_t i = 0; i < kKanaMarksPerByte && at + i < marks.size(); ++i) {
      packed |= static_cast<uint8_t>(marks[at + i] << (2 * (kKanaMarksPerByte - 1 - i)));
    }
    key.push_back(packed);
  }
  key.insert(key.end(), std::begin(kKanaSuffix), std::end(kKanaSuffix));
}

}  // namespace

IndexKeyEncoder::IndexKeyEncoder(const TableDefinition& table, const RealIndex& index) {
  for (const IndexColumn& part : index.columns) {
    auto column = std::find_if(table.columns.begin(), table.columns.end(),
                               [&](const Column& c) { return c.number == part.column_number; });
    if (column == table.columns.end()) {
      RaiseDamaged("table definition", table.page,
                   "an index names column number " + std::to_string(part.column_number) +
                       ", which the table does not have");
    }
    const auto type = static_cast<ColumnType>(column->type);
    if (!Keyable(type)) {
      throw UnsupportedError("Index keys cannot be computed for column " + ColumnName(*column) +
                             ": its type (0x" + Hex(column->type, 2) +
                             ") has no key encoding here.");
    }
    if (column->holds_text() && column->sort_order != kGeneralSortOrder) {
      throw UnsupportedError("Index keys cannot be computed for column " + ColumnName(*column) +
                             ": its text sort order " + std::to_string(column->sort_order) +
                             " is not supported (only General, " +
                             std::to_string(kGeneralSortOrder) + ").");
    }
    parts_.push_back({static_cast<size_t>(column - table.columns.begin()), column->type, part.ascending});
  }
}

bool IndexKeyEncoder::AllNull(const std::vector<Field>& row) const {
  return std::all_of(parts_.begin(), parts_.end(), [&row](const Part& part) {
    return part.type != static_cast<uint8_t>(ColumnType::kBoolean) && row.at(part.field).null;
  });
}

void IndexKeyEncoder::Encode(const std::vector<Field>& row, std::vector<uint8_t>& key) {
  key.clear();
  for (const Part& part : parts_) {
    const Field& field = row.at(part.field);
    const auto type = static_cast<ColumnType>(part.type);
    key.push_back(part.ascending ? kAscendingFlag : kDescendingFlag);
    if (type == ColumnType::kBoolean) {  // never null: the value is the row's null-mask bit
      key.push_back((field.flag == part.ascending) ? 0x00 : 0xFF);
      continue;
    }
    if (field.null) {
      key.back() = part.ascending ? kAscendingNull : kDescendingNull;
      continue;
    }
    const std::optional<FixedWidths> widths = FixedWidthsOf(type);
    if (widths && field.bytes.size() != widths->stored) {
      throw DamagedError("A value of " + std::to_string(field.bytes.size()) + " bytes cannot be keyed as a " +
                         std::to_string(widths->stored) + "-byte column value.");
    }
    const size_t start = key.size();
    switch (type) {
      case ColumnType::kByte:
        key.push_back(field.bytes[0]);
        break;
      case ColumnType::kInteger:
      case ColumnType::kLong:
      case ColumnType::kCurrency:
        AppendReversed(field.bytes, key);
        key[start] ^= 0x80;
        break;
      case ColumnType::kFloat:
      case ColumnType::kDouble:
      case ColumnType::kDateTime:
        AppendReversed(field.bytes, key);
        if (key[start] & 0x80) {
          Complement(key, start);
        } else {
          key[start] ^= 0x80;
        }
        break;
      case ColumnType::kNumeric: {
        // Stored: sign byte, then four little-endian 32-bit words, most significant first.
        const bool negative = (field.bytes[0] & 0x80) != 0;
        key.push_back(negative ? 0x80 : 0x00);
        for (size_t word = 1; word < 17; word += 4) {
          for (size_t i = 4; i-- > 0;) key.push_back(field.bytes[word + i]);
        }
        if (negative == part.ascending) Complement(key, start);
        key[start] = negative ? 0x00 : 0xFF;
        continue;  // the order is already applied
      }
      case ColumnType::kRepId: {
        const uint8_t* b = field.bytes.data();
        const uint8_t text_order[16] = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6],
                                        b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
        AppendGroups(text_order, 16, part.ascending, key);
        continue;
      }
      case ColumnType::kBinary:
        AppendGroups(field.bytes.data(), field.bytes.size(), part.ascending, key);
        continue;
      case ColumnType::kText:
      case ColumnType::kMemo:
        AppendText(field.bytes, part.ascending, key);
        continue;
      default:
        break;  // refused by the constructor
    }
    if (!part.ascending) Complement(key, start);
  }
}

// The text part of a key: the sort bytes of every character, then the end of text; then,
// when any character has them, the accent part (one position per character with sort
// bytes, kNoAccent where it has no accent, trailing kNoAccent left out); then, when the text
// holds kana or unprintable characters, two ends of text, the kana part if any, and the
// unprintable part if any (an end of text, then each unprintable character's entry).
void IndexKeyEncoder::AppendText(const std::vector<uint8_t>& stored, bool ascending,
                                 std::vector<uint8_t>& key) {
  const size_t start = key.size();
  extra_.clear();
  unprintable_.clear();
  kana_.clear();
  size_t sorted = 0;         // characters that gave sort bytes so far
  size_t accounted = 0;      // of those, the ones the accent part has a position for
  bool accents = false;      // whether an accented or modifier character came yet
  size_t leading_modifier = 0;
  text_.clear();
  ForEachJet4Character(stored, kMaxKeyedCharacters, [this](char16_t c) { text_.push_back(c); });
  // Trailing spaces are left out of the key, so "abc " and "abc" have one key: U+0020 alone,
  // and only those left once the value is cut to its keyed length.
  while (!text_.empty() && text_.back() == u' ') text_.pop_back();
  std::for_each(text_.begin(), text_.end(), [&](char16_t c) {
    const std::optional<SortCode> code = FindGeneralSortCode(c);
    if (!code) {
      throw UnsupportedError("Index keys cannot be computed for text holding U+" + Hex(c, 4) +
                             ", half of a character beyond the Basic Multilingual Plane: the "
                             "General sort order is known here for " +
                             kGeneralSortOrderCoverage + ".");
    }
    const uint8_t* bytes = code->bytes.data();
    switch (code->kind) {
      case SortCode::Kind::kIgnored:
        return;
      case SortCode::Kind::kSimple:
        key.insert(key.end(), bytes, bytes + code->sort_size);
        ++sorted;
        return;
      case SortCode::Kind::kUnprintable: {
        const size_t position =
            accents ? extra_.size() + (sorted - accounted) - leading_modifier : sorted;
        const unsigned entry = (kUnprintableFirst + kUnprintableStep * position) | kUnprintableFlag;
        unprintable_.push_back(static_cast<uint8_t>(entry >> 8));
        unprintable_.push_back(static_cast<uint8_t>(entry));
        unprintable_.push_back(kUnprintableSeparator);
        unprintable_.insert(unprintable_.end(), bytes, bytes + code->extra_size);
        return;
      }
      case SortCode::Kind::kKana:
        kana_.push_back(code->small ? kSmallKana : kFullSizeKana);
        if (code->extra_size == 0) {
          key.insert(key.end(), bytes, bytes + code->sort_size);
          ++sorted;
          return;
        }
        break;
      case SortCode::Kind::kInternational:
      case SortCode::Kind::kModifier:
        break;
    }
    // An accented character (international, or kana with a voicing mark), or a modifier.
    const size_t position = sorted;
    const bool modifier = code->kind == SortCode::Kind::kModifier;
    if (!modifier) {
      key.insert(key.end(), bytes, bytes + code->sort_size);
      ++sorted;
    }
    accents = true;
    extra_.insert(extra_.end(), position - std::min(position, accounted), kNoAccent);
    accounted = std::max(accounted, position);
    if (!modifier) {
      extra_.insert(extra_.end(), bytes + code->sort_size, bytes + code->sort_size + code->extra_size);
      ++accounted;
    } else if (extra_.empty()) {
      extra_.push_back(bytes[0]);
      leading_modifier = 1;
    } else {
      extra_.back() = static_cast<uint8_t>(extra_.back() + bytes[0]);
    }
  });
  key.push_back(kEndOfText);
  while (!extra_.empty() && extra_.back() <= kNoAccent) extra_.pop_back();
  key.insert(key.end(), extra_.begin(), extra_.end());
  if (!kana_.empty() || !unprintable_.empty()) key.insert(key.end(), {kEndOfText, kEndOfText});
  if (!kana_.empty()) {
    AppendKanaPart(kana_, key);
    if (!unprintable_.empty()) key.push_back(kKanaBeforeUnprintable);
  }
  if (!unprintable_.empty()) {
    key.push_back(kEndOfText);
    key.insert(key.end(), unprintable_.begin(), unprintable_.end());
  }
  if (!ascending) {
    key.push_back(kEndOfValue);
    Complement(key, start);
  }
  key.push_back(kEndOfValue);
}

std::optional<size_t> KeySegmentSize(uint8_t type, bool ascending, uint8_t flag) {
  if (flag == (ascending ? kAscendingNull : kDescendingNull)) return 1;
  const std::optional<FixedWidths> widths = FixedWidthsOf(static_cast<ColumnType>(type));
  if (!widths) return std::nullopt;
  return 1 + widths->key;
}

int32_t ReadKeyLong(std::span<const uint8_t> value, bool ascending) {
  const uint8_t mask = ascending ? 0x00 : 0xFF;
  uint32_t bits = 0;
  for (size_t i = 0; i < 4; ++i) bits = (bits << 8) | static_cast<uint8_t>(value[i] ^ mask);
  return static_cast<int32_t>(bits ^ 0x80000000u);
}

void WriteKeyLong(int32_t value, bool ascending, std::span<uint8_t> out) {
  const uint8_t mask = ascending ? 0x00 : 0xFF;
  const uint32_t bits = static_cast<uint32_t>(value) ^ 0x80000000u;
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>((bits >> (8 * (3 - i))) ^ mask);
}

bool IsAllNullKey(const RealIndex& index, std::span<const uint8_t> key) {
  if (key.size() != index.columns.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (key[i] != (index.columns[i].ascending ? kAscendingNull : kDescendingNull)) return false;
  }
  return true;
}

}  // namespace vintrel::jet
