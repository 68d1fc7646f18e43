// Hand-built pages for the layouts where faults hide: row cracking (Jet 4 offsets, Jet 3
// jump tables, added and deleted columns), index pages with a shared prefix, both usage
// map forms and long-value chains.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/index_page.h"
#include "jet/pages/long_value.h"
#include "jet/pages/row_decoder.h"
#include "jet/pages/usage_map.h"

namespace vintrel::jet {
namespace {

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& b, size_t at, uint16_t v) { b[at] = v & 0xFF; b[at + 1] = v >> 8; }
void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A data page holding `rows` (row 0 nearest the page end), with raw offset flags.
Bytes DataPageBytes(const Format& format, uint32_t owner, const std::vector<Bytes>& rows,
                    const std::vector<uint16_t>& flags = {}) {
  Bytes page(format.page_size, 0);
  page[0] = static_cast<uint8_t>(PageType::kData);
  PutU32(page, format.data_table_page, owner);
  PutU16(page, format.data_row_count, static_cast<uint16_t>(rows.size()));
  size_t end = format.page_size;
  for (size_t i = 0; i < rows.size(); ++i) {
    size_t start = end - rows[i].size();
    std::memcpy(page.data() + start, rows[i].data(), rows[i].size());
    uint16_t flag = i < flags.size() ? flags[i] : 0;
    PutU16(page, format.data_row_offsets + 2 * i, static_cast<uint16_t>(start) | flag);
    end = start;
  }
  return page;
}

// A file of the given pages (page 0 is left blank; the cache does not read it).
struct PageFile {
  PageFile(const Format& format, std::vector<Bytes> pages) {
    Bytes all;
    for (const Bytes& page : pages) all.insert(all.end(), page.begin(), page.end());
    source = MemorySource(std::move(all));
    cache = std::make_unique<PageCache>(*source, format.page_size, 0);
  }
  std::unique_ptr<PageSource> source;
  std::unique_ptr<PageCache> cache;
};

Column MakeColumn(ColumnType type, uint16_t number, uint16_t var_index, uint16_t fixed_offset,
                  uint16_t length, bool fixed) {
  Column column{};
  column.type = static_cast<uint8_t>(type);
  column.number = number;
  column.var_index = var_index;
  column.fixed_offset = fixed_offset;
  column.length = length;
  column.flags = fixed ? kColumnFixedLength : 0;
  return column;
}

TEST(RowDecodingTest, Jet4FixedVariableBooleanDeletedAndAddedColumns) {
  TableDefinition table{};
  table.var_column_count = 2;
  table.columns = {
      MakeColumn(ColumnType::kLong, 0, 0, 0, 4, true),
      MakeColumn(ColumnType::kText, 1, 0, 0, 0, false),
      MakeColumn(ColumnType::kBoolean, 2, 0, 0, 0, true),
      MakeColumn(ColumnType::kText, 4, 1, 0, 0, false),      // column 3 was deleted
      MakeColumn(ColumnType::kInteger, 5, 0, 4, 2, true),    // added after the row
  };
  // count 5 | long 42 | "hi" | (empty) | eod 10, slot 1 = 10, slot 0 = 6 | 2 slots | mask
  Bytes row = {5, 0, 42, 0, 0, 0, 'h', 0, 'i', 0, 10, 0, 10, 0, 6, 0, 2, 0, 0x17};
  PageFile file(kJet4Format, {Bytes(4096, 0)});
  std::vector<size_t> offsets;
  std::vector<Field> fields;
  DecodeRow(*file.cache, kJet4Format, table, ByteView(row, "row", 1), offsets, fields);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0].bytes, (Bytes{42, 0, 0, 0}));
  EXPECT_EQ(fields[1].bytes, (Bytes{'h', 0, 'i', 0}));
  EXPECT_FALSE(fields[2].null);
  EXPECT_TRUE(fields[2].flag);
  EXPECT_FALSE(fields[3].null) << "an empty value is not null";
  EXPECT_TRUE(fields[3].bytes.empty());
  EXPECT_TRUE(fields[4].null) << "a column added after the row was written";

  row[18] = 0x01;  // only the long has a value; the Boolean is false
  DecodeRow(*file.cache, kJet4Format, table, ByteView(row, "row", 1), offsets, fields);
  EXPECT_TRUE(fields[1].null);
  EXPECT_FALSE(fields[2].flag);
  EXPECT_TRUE(fields[3].null);
}

TEST(RowDecodingTest, Jet3JumpTableCarriesOffsetsPast256) {
  TableDefinition table{};
  table.var_column_count = 2;
  table.columns = {MakeColumn(ColumnType::kText, 0, 0, 0, 0, false),
                   MakeColumn(ColumnType::kText, 1, 1, 0, 0, false)};
  // count | 300 x 'a' | 'b' | eod 302, slot 1 301, slot 0 1 (low bytes) | jump: slot 1 | 2 | mask
  Bytes row = {2};
  row.insert(row.end(), 300, 'a');
  row.insert(row.end(), {'b', 302 - 256, 301 - 256, 1, 1, 2, 0x03});
  PageFile file(kJet3Format, {Bytes(2048, 0)});
  std::vector<size_t> offsets;
  std::vector<Field> fields;
  DecodeRow(*file.cache, kJet3Format, table, ByteView(row, "row", 1), offsets, fields);
  EXPECT_EQ(fields[0].bytes, Bytes(300, 'a'));
  EXPECT_EQ(fields[1].bytes, Bytes{'b'});
}

TEST(RowDecodingTest, Jet3FillerJumpEntryIsIgnored) {
  TableDefinition table{};
  table.var_column_count = 1;
  table.columns = {MakeColumn(ColumnType::kText, 0, 0, 0, 0, false)};
  // 258 bytes: one jump entry by length, but no offset reaches 256, so it is filler.
  Bytes row = {1};
  row.insert(row.end(), 252, 'x');
  row.insert(row.end(), {253, 1, 0xFF, 1, 0x01});
  ASSERT_EQ(row.size(), 258u);
  PageFile file(kJet3Format, {Bytes(2048, 0)});
  std::vector<size_t> offsets;
  std::vector<Field> fields;
  DecodeRow(*file.cache, kJet3Format, table, ByteView(row, "row", 1), offsets, fields);
  EXPECT_EQ(fields[0].bytes, Bytes(252, 'x'));
}

TEST(RowDecodingTest, OffsetsOutsideTheRowAreDamage) {
  TableDefinition table{};
  table.var_column_count = 1;
  table.columns = {MakeColumn(ColumnType::kText, 0, 0, 0, 0, false)};
  Bytes row = {1, 0, 'a', 0, 40, 0, 2, 0, 1, 0, 0x01};  // eod 40 is past the row
  PageFile file(kJet4Format, {Bytes(4096, 0)});
  std::vector<size_t> offsets;
  std::vector<Field> fields;
  EXPECT_THROW(DecodeRow(*file.cache, kJet4Format, table, ByteView(row, "row", 1), offsets,
                         fields),
               JetError);
  Bytes truncated = {9, 0};  // claims 9 columns, has no null mask
  EXPECT_THROW(DecodeRow(*file.cache, kJet4Format, table, ByteView(truncated, "row", 1),
                         offsets, fields),
               JetError);
}

TEST(IndexPageTest, SharedPrefixIsRestoredAndPointersAreBigEndian) {
  Bytes page(4096, 0);
  page[0] = static_cast<uint8_t>(PageType::kIndexLeaf);
  PutU16(page, kJet4Format.index_prefix_length, 4);
  const Bytes first = {0x7F, 0, 0, 0, 1, 0, 1, 5, 3};  // key 1 at page 0x105 row 3
  const Bytes second = {2, 0, 1, 5, 4};                // key 2 at page 0x105 row 4
  std::memcpy(page.data() + 0x1E0, first.data(), first.size());
  std::memcpy(page.data() + 0x1E0 + 9, second.data(), second.size());
  page[kJet4Format.index_entry_mask + 1] = 0x02;  // an entry ends at 9
  page[kJet4Format.index_entry_mask + 1] |= 0x40;  // and at 14
  PageFile file(kJet4Format, {Bytes(4096, 0), page});
  IndexPage decoded = ReadIndexPage(*file.cache, kJet4Format, 1);
  ASSERT_TRUE(decoded.leaf);
  ASSERT_EQ(decoded.entries.size(), 2u);
  EXPECT_EQ(decoded.entries[0].key, (Bytes{0x7F, 0, 0, 0, 1}));
  EXPECT_EQ(decoded.entries[1].key, (Bytes{0x7F, 0, 0, 0, 2}));
  EXPECT_EQ(decoded.entries[1].data_page, 0x105u);
  EXPECT_EQ(decoded.entries[1].data_row, 4);
}

TEST(IndexPageTest, LeafChainLoopsEndWithAnError) {
  Bytes leaf(4096, 0);
  leaf[0] = static_cast<uint8_t>(PageType::kIndexLeaf);
  PutU32(leaf, kJet4Format.index_next_page, 1);  // its own next page
  PageFile file(kJet4Format, {Bytes(4096, 0), leaf});
  IndexReader reader(*file.cache, kJet4Format, 1);
  IndexEntry entry;
  EXPECT_THROW(reader.Next(entry), JetError);
}

TEST(UsageMapTest, InlineBitmapFromItsFirstPage) {
  Bytes map = {0x00, 8, 0, 0, 0, 0x05, 0x00, 0x80};  // pages 8, 10 and 31
  PageFile file(kJet4Format, {Bytes(4096, 0), DataPageBytes(kJet4Format, 9, {map})});
  UsageMap usage(*file.cache, kJet4Format, 1 << 8, 9);
  EXPECT_EQ(usage.NextPage(0), 8u);
  EXPECT_EQ(usage.NextPage(9), 10u);
  EXPECT_EQ(usage.NextPage(11), 31u);
  EXPECT_EQ(usage.NextPage(32), std::nullopt);
}

TEST(UsageMapTest, ReferenceFormReadsMapPages) {
  Bytes map = {0x01, 2, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0};  // map pages 2, none, 3
  Bytes first(4096, 0), third(4096, 0);
  first[0] = third[0] = static_cast<uint8_t>(PageType::kUsageMap);
  first[4] = 0x20;  // page 5
  third[4] = 0x01;  // the first page the third map page covers
  PageFile file(kJet4Format,
                {Bytes(4096, 0), DataPageBytes(kJet4Format, 9, {map}), first, third});
  UsageMap usage(*file.cache, kJet4Format, 1 << 8, 9);
  const uint32_t per_map_page = (4096 - 4) * 8;
  EXPECT_EQ(usage.NextPage(0), 5u);
  EXPECT_EQ(usage.NextPage(6), 2 * per_map_page);
  EXPECT_EQ(usage.NextPage(2 * per_map_page + 1), std::nullopt);
}

TEST(LongValueTest, InlineSinglePageAndChain) {
  // Page 1: row 0 = whole value "single"; row 1 = chain start -> row 2; row 2 = chain end.
  Bytes single = {'s', 'i', 'n', 'g', 'l', 'e'};
  Bytes link = {2, 1, 0, 0, 'c', 'h', 'a'};  // next: page 1 row 2
  Bytes last = {0, 0, 0, 0, 'i', 'n'};
  PageFile file(kJet4Format, {Bytes(4096, 0), DataPageBytes(kJet4Format, 0, {single, link, last})});
  Bytes out;

  Bytes inline_field = {3, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c'};
  ReadLongValue(*file.cache, kJet4Format, ByteView(inline_field, "row", 9), out);
  EXPECT_EQ(out, (Bytes{'a', 'b', 'c'}));

  Bytes single_field = {6, 0, 0, 0x40, 0, 1, 0, 0, 0, 0, 0, 0};
  ReadLongValue(*file.cache, kJet4Format, ByteView(single_field, "row", 9), out);
  EXPECT_EQ(out, single);

  Bytes chain_field = {5, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0};
  ReadLongValue(*file.cache, kJet4Format, ByteView(chain_field, "row", 9), out);
  EXPECT_EQ(out, (Bytes{'c', 'h', 'a', 'i', 'n'}));

  Bytes too_long = {9, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_THROW(ReadLongValue(*file.cache, kJet4Format, ByteView(too_long, "row", 9), out),
               JetError);
}

TEST(LongValueTest, ChainThatLoopsIsDamage) {
  Bytes looping = {0, 1, 0, 0, 'x'};  // next: itself (page 1 row 0)
  PageFile file(kJet4Format, {Bytes(4096, 0), DataPageBytes(kJet4Format, 0, {looping})});
  Bytes field = {100, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  Bytes out;
  try {
    ReadLongValue(*file.cache, kJet4Format, ByteView(field, "row", 9), out);
    FAIL() << "read a looping chain";
  } catch (const JetError& error) {
    EXPECT_NE(std::string(error.what()).find("long value at page 1"), std::string::npos)
        << error.what();
  }
}

TEST(DataPageTest, MovedAndDeletedFlags) {
  Bytes page = DataPageBytes(kJet4Format, 7, {{1, 2}, {3, 4, 5, 6}, {9}},
                             {0, kRowOverflow, kRowDeleted});
  PageFile file(kJet4Format, {Bytes(4096, 0), page});
  DataPage data(file.cache->Get(1, "data page"), kJet4Format, "data page");
  EXPECT_EQ(data.owner(), 7u);
  EXPECT_EQ(data.Row(0).bytes.size(), 2u);
  EXPECT_TRUE(data.Row(1).moved);
  EXPECT_TRUE(data.Row(2).deleted);
  EXPECT_THROW(data.Row(3), JetError);
}

}  // namespace
}  // namespace vintrel::jet
