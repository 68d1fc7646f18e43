// Table definition pages (type 0x02). A definition longer than a page continues on the
// page named in its header; the continuation pages' own 8-byte headers are skipped and the
// rest is read as one block.
//
//   page header:  0 type 0x02 | 1 ? | 2 (2) ? | 4 (4) next definition page (0 = last)
//   block (Jet 3 / Jet 4 offsets):
//     row count 12/16 (4), next autonumber 16/20 (4), table type 20/40 (1: 0x53 system),
//     max columns 21/41 (2), variable columns 23/43 (2), columns 25/45 (2),
//     logical indexes 27/47 (4), real indexes 31/51 (4),
//     usage map 35/55 (4, row pointer), free-space map 39/59 (4, row pointer)
//   then: real index row counts    (8/12 bytes each)
//         column descriptors       (18/25 bytes each, see Format for the fields)
//         column names             (1-byte length + code page / 2-byte length + UCS-2)
//         real index descriptors   (39/52 bytes: ten column slots, usage map, root, flags)
//         logical index descriptors (20/28 bytes: number, real index, relation, kind)
//         logical index names
//         long-value column maps: (column number 2, usage map 4, free-space map 4) for
//         each Memo/OLE column, ended by column number 0xFFFF
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_cache.h"
#include "jet/text_codec.h"

namespace vintrel::jet {

// A row's address: page number in the high 24 bits, row number in the low 8.
struct RowPointer {
  uint32_t page;
  uint8_t row;
  static RowPointer FromU32(uint32_t value) {
    return {value >> 8, static_cast<uint8_t>(value & 0xFF)};
  }
};

struct Column {
  std::u16string name;
  uint8_t type;         // a ColumnType value, or a code this reader does not know
  uint16_t number;      // its bit in the null mask; deleted columns leave gaps
  uint16_t var_index;   // its slot in a row's variable-offset table
  uint16_t fixed_offset;
  uint16_t length;      // bytes of a fixed column
  uint8_t flags;        // kColumn* flags
  uint16_t sort_order;  // of text
  uint8_t precision;    // Decimal
  uint8_t scale;        // Decimal
  bool compressed_text;  // Jet 4 stores its text compressed where that is shorter

  bool fixed() const { return (flags & kColumnFixedLength) != 0; }
  bool holds_text() const {
    return type == static_cast<uint8_t>(ColumnType::kText) ||
           type == static_cast<uint8_t>(ColumnType::kMemo);
  }
  bool long_value() const {
    return type == static_cast<uint8_t>(ColumnType::kMemo) ||
           type == static_cast<uint8_t>(ColumnType::kOle);
  }
};

struct IndexColumn {
  uint16_t column_number;
  bool ascending;
};

// An index as stored: its pages and the columns its keys are built from.
struct RealIndex {
  std::vector<IndexColumn> columns;
  uint32_t usage_map;  // row pointer
  uint32_t root_page;
  uint8_t flags;       // kIndex* flags

  bool unique() const { return (flags & kIndexUnique) != 0; }
  bool ignores_nulls() const { return (flags & kIndexIgnoreNulls) != 0; }
  bool required() const { return (flags & kIndexRequired) != 0; }
};

// An index as the user defined it; several may share one real index.
struct LogicalIndex {
  std::u16string name;
  uint32_t number;
  uint32_t real_index;
  uint8_t kind;  // 0, kLogicalIndexPrimary or kLogicalIndexForeign
  uint8_t related_table_type;
  uint32_t related_index;  // 0xFFFFFFFF when not a foreign key
  uint32_t related_table_page;
  bool cascade_updates;  // foreign keys only; other indexes leave junk in these bytes
  bool cascade_deletes;

  bool primary_key() const { return kind == kLogicalIndexPrimary; }
  bool foreign_key() const { return kind == kLogicalIndexForeign; }
};

// The pages holding one long-value column's values.
struct LongValueMaps {
  uint16_t column_number;
  uint32_t usage_map;       // row pointer
  uint32_t free_space_map;  // row pointer
};

struct LongValueMapOffsets {
  uint16_t column_number;
  size_t offset;  // of its entry
};

// Where the fields a copy rewrites lie in the block the definition was read from, so that
// the copy changes them in the source's bytes without parsing those again.
struct DefinitionLayout {
  std::vector<size_t> real_indexes;     // offset of each real index descriptor
  std::vector<size_t> logical_indexes;  // offset of each logical index descriptor
  std::vector<LongValueMapOffsets> long_value_maps;
  std::optional<size_t> end;  // just past the long-value maps' end mark, when there is one
};

struct TableDefinition {
  uint32_t page;
  std::vector<uint32_t> pages;  // of its chain, `page` first
  uint32_t row_count;
  uint32_t next_autonumber;
  uint8_t table_type;
  uint16_t max_columns;
  uint16_t var_column_count;
  std::vector<Column> columns;  // in column-number order
  std::vector<RealIndex> real_indexes;
  std::vector<LogicalIndex> logical_indexes;
  std::vector<LongValueMaps> long_value_maps;
  uint32_t usage_map;       // row pointer to the map of the table's data pages
  uint32_t free_space_map;  // row pointer
  DefinitionLayout layout;  // in the block of `pages`, in its stored format
};

// A definition's pages joined into its block, and their numbers in chain order. A chain
// that loops or names a page of another type is damage.
struct DefinitionChain {
  std::vector<uint8_t> block;
  std::vector<uint32_t> pages;
};
DefinitionChain ReadDefinitionChain(PageCache& pages, const Format& format, uint32_t first);

// A real index as the user knows it: the name of the first logical index on it, or its number.
std::string RealIndexName(const TableDefinition& table, size_t index);

TableDefinition ReadTableDefinition(PageCache& pages, const Format& format,
                                    const TextEncoding& text, uint32_t page);

}  // namespace vintrel::jet
