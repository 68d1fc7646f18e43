// The constants of the Jet file format. Jet 3 and Jet 4 lay out the same structures with
// different field widths and offsets; every such difference in the pages after page 0 is a
// value in Format, so their readers contain no version tests of their own. Page 0, where the
// version is read, keeps one offset per version (its sort order) and masks its password only
// in Jet 4; what differs in meaning rather than layout (Jet 3's code-page text) is decided
// from Format::version.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vintrel::jet {

enum class PageType : uint8_t {
  kDatabaseDefinition = 0x00,
  kData = 0x01,
  kTableDefinition = 0x02,
  kIndexIntermediate = 0x03,
  kIndexLeaf = 0x04,
  kUsageMap = 0x05,
};

enum class ColumnType : uint8_t {
  kBoolean = 0x01,
  kByte = 0x02,
  kInteger = 0x03,
  kLong = 0x04,
  kCurrency = 0x05,
  kFloat = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,
  kText = 0x0A,
  kOle = 0x0B,
  kMemo = 0x0C,
  kRepId = 0x0F,
  kNumeric = 0x10,
};

// Column flags (table definition).
inline constexpr uint8_t kColumnFixedLength = 0x01;
inline constexpr uint8_t kColumnNullable = 0x02;
inline constexpr uint8_t kColumnAutoNumber = 0x04;
inline constexpr uint8_t kColumnAutoGuid = 0x40;

// Real-index flags.
inline constexpr uint8_t kIndexUnique = 0x01;
inline constexpr uint8_t kIndexIgnoreNulls = 0x02;
inline constexpr uint8_t kIndexRequired = 0x08;

// Logical-index kinds.
inline constexpr uint8_t kLogicalIndexPrimary = 0x01;
inline constexpr uint8_t kLogicalIndexForeign = 0x02;

// Row-offset flags on data pages; the low bits are the offset within the page.
inline constexpr uint16_t kRowDeleted = 0x8000;
inline constexpr uint16_t kRowOverflow = 0x4000;
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;

// Data, definition and index pages keep the count of their free bytes at 2 (2).
inline constexpr size_t kPageFreeSpaceOffset = 2;

// Jet writes 0x01 after the type byte of every page but page 0; its meaning is unknown.
inline constexpr size_t kPageMarkOffset = 1;
inline constexpr uint8_t kPageMark = 0x01;

// Page 1 holds the global map of free pages, then a second map Jet leaves empty.
inline constexpr uint32_t kGlobalMapPage = 1;

// The largest Jet 4 file: 2 GB.
inline constexpr uint64_t kJet4MaxFileBytes = uint64_t{1} << 31;

// Usage maps. The inline form is the form byte, the first page the bitmap covers (4), then
// the bitmap; the reference form is the form byte, then the map pages (4 each), whose
// bitmaps start after their 4-byte page header.
inline constexpr uint8_t kInlineMapForm = 0x00;
inline constexpr uint8_t kReferenceMapForm = 0x01;
inline constexpr size_t kInlineMapBitmapOffset = 5;
inline constexpr size_t kMapPageBitmapOffset = 4;

// The owner that the header of a long-value data page names, in place of a table: "LVAL".
inline constexpr uint32_t kLongValueOwner = 0x4C41564C;

// Long-value header flags (top bits of its first 32-bit word).
inline constexpr uint32_t kLongValueInline = 0x80000000;
inline constexpr uint32_t kLongValueSinglePage = 0x40000000;
inline constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;
inline constexpr size_t kLongValueHeaderSize = 12;

// The table definition of the catalog, MSysObjects, is always on this page.
inline constexpr uint32_t kCatalogPage = 2;

// The definition's table type of Jet's own tables (the user's are 0x4E).
inline constexpr uint8_t kSystemTableType = 0x53;

// Values Jet 4 writes in every definition: 1625 at 12 of the block, at 1 of each column
// descriptor and at 0 of each logical index descriptor; 1923 at 0 of each real index
// descriptor.
inline constexpr uint32_t kJet4DefinitionMark = 1625;
inline constexpr uint32_t kJet4RealIndexMark = 1923;

// A definition ends with one entry per long-value column: its column number (2), then the
// usage map and free-space map (row pointers, 4 each) of its long-value pages. The column
// number kEndOfLongValueMaps ends the list.
inline constexpr size_t kLongValueMapEntrySize = 10;
inline constexpr size_t kLongValueMapUsageMap = 2;
inline constexpr size_t kLongValueMapFreeSpaceMap = 6;
inline constexpr uint16_t kEndOfLongValueMaps = 0xFFFF;

// Database definition page (page 0).
inline constexpr size_t kVersionOffset = 0x14;
inline constexpr size_t kMaskedAreaOffset = 0x18;
inline constexpr size_t kSortOrderOffsetJet3 = 0x3A;
inline constexpr size_t kCodePageOffset = 0x3C;
inline constexpr size_t kDatabaseKeyOffset = 0x3E;
inline constexpr size_t kPasswordOffset = 0x42;
inline constexpr size_t kSortOrderOffsetJet4 = 0x6E;
inline constexpr size_t kCreationDateOffset = 0x72;
inline constexpr uint32_t kHeaderMaskKey = 0x6B39DAC7;
// "Standard Jet DB" at offset 4 marks a Jet file.
inline constexpr char kJetSignature[] = "Standard Jet DB";
inline constexpr size_t kSignatureOffset = 4;

enum class Version { kJet3, kJet4 };

struct Format {
  Version version;
  const char* name;  // as the dump writes it
  uint32_t page_size;

  size_t masked_area_size;
  size_t password_size;

  // Data pages.
  size_t data_table_page;  // owning table definition
  size_t data_row_count;
  size_t data_row_offsets;

  // Rows.
  size_t row_column_count_size;  // also the width of var-table entries and var count
  bool row_has_jump_table;

  // Table definition block.
  size_t tdef_next_page;
  size_t tdef_continuation_header;  // bytes skipped on each further page of a definition
  size_t tdef_row_count;
  size_t tdef_autonumber;
  size_t tdef_table_type;
  size_t tdef_max_columns;
  size_t tdef_var_column_count;
  size_t tdef_column_count;
  size_t tdef_logical_index_count;
  size_t tdef_real_index_count;
  size_t tdef_used_pages;
  size_t tdef_free_pages;
  size_t tdef_real_index_counts;  // start of the per-real-index row-count entries
  size_t real_index_count_entry_size;

  // Column descriptors.
  size_t column_entry_size;
  size_t column_number;
  size_t column_var_index;
  size_t column_sort_order;  // of text; Jet 4 keeps it where Decimal keeps precision and scale
  size_t column_precision;
  size_t column_scale;
  size_t column_flags;
  size_t column_compression;  // Jet 4's flag of compressed text; Jet 3 has none (0)
  size_t column_fixed_offset;
  size_t column_length;
  size_t name_length_size;  // 1 byte of code-page text, or 2 bytes of UCS-2 length

  // Real index descriptors.
  size_t real_index_entry_size;
  size_t real_index_columns;  // ten (column number, order) pairs
  size_t real_index_used_pages;
  size_t real_index_first_page;
  size_t real_index_flags;

  // Logical index descriptors.
  size_t logical_index_entry_size;
  size_t logical_index_number;
  size_t logical_index_real_index;
  size_t logical_index_related_table_type;
  size_t logical_index_related_index;
  size_t logical_index_related_table;
  size_t logical_index_cascade_updates;
  size_t logical_index_cascade_deletes;
  size_t logical_index_kind;

  // Index pages.
  size_t index_prev_page;
  size_t index_next_page;
  size_t index_tail_page;
  size_t index_prefix_length;
  size_t index_prefix_length_size;
  size_t index_entry_mask;
  size_t index_first_entry;
};

inline constexpr Format kJet3Format = {
    .version = Version::kJet3, .name = "jet3", .page_size = 2048,
    .masked_area_size = 126, .password_size = 20,
    .data_table_page = 4, .data_row_count = 8, .data_row_offsets = 10,
    .row_column_count_size = 1, .row_has_jump_table = true,
    .tdef_next_page = 4, .tdef_continuation_header = 8, .tdef_row_count = 12,
    .tdef_autonumber = 16, .tdef_table_type = 20, .tdef_max_columns = 21,
    .tdef_var_column_count = 23, .tdef_column_count = 25, .tdef_logical_index_count = 27,
    .tdef_real_index_count = 31, .tdef_used_pages = 35, .tdef_free_pages = 39,
    .tdef_real_index_counts = 43, .real_index_count_entry_size = 8,
    .column_entry_size = 18, .column_number = 1, .column_var_index = 3,
    .column_sort_order = 9, .column_precision = 11, .column_scale = 12, .column_flags = 13,
    .column_compression = 0,
    .column_fixed_offset = 14, .column_length = 16, .name_length_size = 1,
    .real_index_entry_size = 39, .real_index_columns = 0, .real_index_used_pages = 30,
    .real_index_first_page = 34, .real_index_flags = 38,
    .logical_index_entry_size = 20, .logical_index_number = 0, .logical_index_real_index = 4,
    .logical_index_related_table_type = 8, .logical_index_related_index = 9,
    .logical_index_related_table = 13, .logical_index_cascade_updates = 17,
    .logical_index_cascade_deletes = 18, .logical_index_kind = 19,
    .index_prev_page = 8, .index_next_page = 12, .index_tail_page = 16,
    .index_prefix_length = 20, .index_prefix_length_size = 1, .index_entry_mask = 22, .index_first_entry = 0xF8,
};

inline constexpr Format kJet4Format = {
    .version = Version::kJet4, .name = "jet4", .page_size = 4096,
    .masked_area_size = 128, .password_size = 40,
    .data_table_page = 4, .data_row_count = 12, .data_row_offsets = 14,
    .row_column_count_size = 2, .row_has_jump_table = false,
    .tdef_next_page = 4, .tdef_continuation_header = 8, .tdef_row_count = 16,
    .tdef_autonumber = 20, .tdef_table_type = 40, .tdef_max_columns = 41,
    .tdef_var_column_count = 43, .tdef_column_count = 45, .tdef_logical_index_count = 47,
    .tdef_real_index_count = 51, .tdef_used_pages = 55, .tdef_free_pages = 59,
    .tdef_real_index_counts = 63, .real_index_count_entry_size = 12,
    .column_entry_size = 25, .column_number = 5, .column_var_index = 7,
    .column_sort_order = 11, .column_precision = 11, .column_scale = 12, .column_flags = 15,
    .column_compression = 16,
    .column_fixed_offset = 21, .column_length = 23, .name_length_size = 2,
    .real_index_entry_size = 52, .real_index_columns = 4, .real_index_used_pages = 34,
    .real_index_first_page = 38, .real_index_flags = 46,
    .logical_index_entry_size = 28, .logical_index_number = 4, .logical_index_real_index = 8,
    .logical_index_related_table_type = 12, .logical_index_related_index = 13,
    .logical_index_related_table = 17, .logical_index_cascade_updates = 21,
    .logical_index_cascade_deletes = 22, .logical_index_kind = 23,
    .index_prev_page = 12, .index_next_page = 16, .index_tail_page = 20,
    .index_prefix_length = 24, .index_prefix_length_size = 2, .index_entry_mask = 27, .index_first_entry = 0x1E0,
};

// The General sort order's code, in the database definition page and in text columns (Jet 3
// and Jet 4 alike): the only text sort order index keys are computed for.
inline constexpr uint16_t kGeneralSortOrder = 1033;

// Columns an index can have; unused slots hold this column number.
inline constexpr size_t kIndexColumnSlots = 10;
inline constexpr uint16_t kNoIndexColumn = 0xFFFF;

}  // namespace vintrel::jet
