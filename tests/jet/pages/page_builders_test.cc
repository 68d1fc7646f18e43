// Each builder's output read back by the reader's own decoder of that structure.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <string>

#include "jet/coding.h"
#include "jet/io/page_cache.h"
#include "jet/io/page_output.h"
#include "jet/io/page_source.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/index_builder.h"
#include "jet/pages/index_page.h"
#include "jet/pages/long_value.h"
#include "jet/pages/long_value_writer.h"
#include "jet/pages/row_decoder.h"
#include "jet/pages/row_encoder.h"
#include "jet/pages/usage_map.h"
#include "jet/pages/usage_map_builder.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

const Format& kFormat = kJet4Format;

std::vector<uint8_t> Bytes(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

// A database-shaped file: pages written through PageOutput, read through a PageCache.
class BuiltFile {
 public:
  BuiltFile() : output_(testing::CreateFile(dir_.Path("built.mdb")), dir_.Path("built.mdb"), kFormat.page_size) {
    output_.Reserve(0);
  }
  PageOutput& output() { return output_; }
  PageCache& Read() {
    output_.Finish();
    source_ = OpenFileSource(dir_.Path("built.mdb"));
    cache_ = std::make_unique<PageCache>(*source_, kFormat.page_size, 0);
    return *cache_;
  }

 private:
  testing::ScratchDirectory dir_;
  PageOutput output_;
  std::unique_ptr<PageSource> source_;
  std::unique_ptr<PageCache> cache_;
};

TEST(DataPageBuilderTest, RowsReadBackInOrderWithTheirBytes) {
  DataPageBuilder builder(kFormat, 5, 42);
  std::vector<std::vector<uint8_t>> rows = {Bytes(10, 1), Bytes(300, 2), Bytes(1, 3)};
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(builder.Add(rows[i]), i);
  auto page = std::make_shared<Page>(5, SourceBytes{builder.bytes(), nullptr});
  DataPage read(page, kFormat, "test");
  EXPECT_EQ(read.owner(), 42u);
  ASSERT_EQ(read.row_count(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    RowSlot slot = read.Row(static_cast<uint16_t>(i));
    EXPECT_FALSE(slot.deleted);
    EXPECT_FALSE(slot.moved);
    EXPECT_EQ(std::vector<uint8_t>(slot.bytes.bytes().begin(), slot.bytes.bytes().end()), rows[i]);
  }
  // The free-space field counts the gap between the offsets and the rows.
  size_t used = 311 + kFormat.data_row_offsets + 2 * rows.size();
  EXPECT_EQ(page->View("test").U16(2), kFormat.page_size - used);
}

TEST(DataPageBuilderTest, FillsExactlyAndStopsAtTheRowNumberLimit) {
  DataPageBuilder full(kFormat, 1, 1);
  const size_t largest = MaxRowSize(kFormat);
  EXPECT_TRUE(full.Fits(largest));
  EXPECT_FALSE(full.Fits(largest + 1));
  full.Add(Bytes(largest, 0));
  EXPECT_EQ(full.Room(), 0u);

  DataPageBuilder many(kFormat, 1, 1);
  for (size_t i = 0; i < kMaxRowsPerPage; ++i) many.Add(Bytes(1, 0));
  EXPECT_FALSE(many.Fits(1));
}

TEST(LongValueWriterTest, ValuesOfEverySizeReadBackWhole) {
  BuiltFile file;
  LongValueWriter writer(kFormat, file.output());
  std::vector<std::vector<uint8_t>> values = {Bytes(0, 1), Bytes(100, 2), Bytes(4080, 3),
                                              Bytes(4081, 4), Bytes(20000, 5), Bytes(9, 6)};
  std::vector<LongValueHeader> headers;
  for (const auto& value : values) headers.push_back(writer.Write(value));
  writer.Flush();
  EXPECT_TRUE(std::is_sorted(writer.pages().begin(), writer.pages().end()));
  PageCache& pages = file.Read();
  for (size_t i = 0; i < values.size(); ++i) {
    std::vector<uint8_t> out;
    ReadLongValue(pages, kFormat, ByteView(headers[i], "header", 0), out);
    EXPECT_EQ(out, values[i]) << "value " << i;
  }
  // 20000 bytes need five pages of chain, and nothing is wasted on near-empty pages.
  EXPECT_LE(writer.pages().size(), 8u);
}

TEST(LongValueWriterTest, InlineValueKeepsItsBytesAfterTheHeader) {
  std::vector<uint8_t> value = Bytes(20, 9);
  std::vector<uint8_t> stored;
  AppendInlineLongValue(value, stored);
  std::vector<uint8_t> out;
  PageCache* none = nullptr;
  BuiltFile file;
  none = &file.Read();
  ReadLongValue(*none, kFormat, ByteView(stored, "row", 0), out);
  EXPECT_EQ(out, value);
}

std::vector<uint32_t> MappedPages(PageCache& pages, uint32_t row_pointer) {
  UsageMap map(pages, kFormat, row_pointer, 0);
  std::vector<uint32_t> found;
  for (auto page = map.NextPage(0); page; page = map.NextPage(*page + 1)) found.push_back(*page);
  return found;
}

TEST(UsageMapBuilderTest, InlineAndReferenceFormsListThePagesGiven) {
  BuiltFile file;
  std::vector<uint32_t> near = {3, 4, 9, 200, 511};
  std::vector<uint32_t> far = {3, 700, 40000, 40001};
  std::vector<uint32_t> map_pages;
  DataPageBuilder holder(kFormat, file.output().Allocate(), 0);
  auto near_row = BuildUsageMap(kFormat, near, file.output(), map_pages);
  EXPECT_EQ(near_row[0], 0) << "pages within 512 of each other fit inline";
  EXPECT_TRUE(map_pages.empty());
  auto far_row = BuildUsageMap(kFormat, far, file.output(), map_pages);
  EXPECT_EQ(far_row[0], 1);
  EXPECT_EQ(map_pages.size(), 2u) << "one map page per 32736 pages that hold any";
  uint8_t near_at = holder.Add(near_row);
  uint8_t far_at = holder.Add(far_row);
  file.output().Write(holder.number(), holder.bytes());
  PageCache& pages = file.Read();
  EXPECT_EQ(MappedPages(pages, PackRowPointer(holder.number(), near_at)), near);
  EXPECT_EQ(MappedPages(pages, PackRowPointer(holder.number(), far_at)), far);
}

// Jet's convention: every page the global map covers past the end of the file is free.
TEST(UsageMapBuilderTest, GlobalFreeMapMarksOnlyPagesPastTheEnd) {
  struct Case {
    uint32_t pages;
    uint8_t form;
    size_t row_size;  // a multiple of 32 bitmap bytes inline, as Jet's; 69 by reference
  };
  for (const Case& c : {Case{16, 0, 5 + 64}, Case{743, 0, 5 + 96}, Case{40000, 1, 69}}) {
    const uint32_t pages = c.pages;
    BuiltFile file;
    while (file.output().page_count() < pages) file.output().Allocate();
    std::vector<uint8_t> row = BuildGlobalFreeMap(kFormat, file.output());
    const uint32_t end = file.output().page_count();
    DataPageBuilder holder(kFormat, file.output().Allocate(), 1);
    uint8_t at = holder.Add(row);
    file.output().Write(holder.number(), holder.bytes());
    EXPECT_EQ(row[0], c.form) << pages;
    EXPECT_EQ(row.size(), c.row_size) << pages;
    std::vector<uint32_t> free = MappedPages(file.Read(), PackRowPointer(holder.number(), at));
    ASSERT_FALSE(free.empty());
    EXPECT_EQ(free.front(), end);
    EXPECT_EQ(free.back() - free.front() + 1, free.size()) << "every page from the end on";
    EXPECT_EQ((free.back() + 1) % 8, 0u);
  }
}

// Entries of a unique Long index on values 0..count-1: flag, big-endian value with the
// sign bit flipped, then the row pointer.
std::vector<uint8_t> LongEntry(uint32_t value, uint32_t page, uint8_t row) {
  std::vector<uint8_t> entry(9);
  entry[0] = 0x7F;
  PutBigU32(entry, 1, value ^ 0x80000000u);
  PutBigU24(entry, 5, page);
  entry[8] = row;
  return entry;
}

std::vector<std::vector<uint8_t>> ReadEntries(PageCache& pages, uint32_t root) {
  IndexReader reader(pages, kFormat, root);
  IndexEntry entry;
  std::vector<std::vector<uint8_t>> entries;
  while (reader.Next(entry)) {
    std::vector<uint8_t> bytes = entry.key;
    bytes.resize(bytes.size() + 4);
    PutBigU24(bytes, entry.key.size(), entry.data_page);
    bytes.back() = entry.data_row;
    entries.push_back(bytes);
  }
  return entries;
}

class IndexBuilderTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(IndexBuilderTest, EntriesReadBackInOrderThroughEveryLevel) {
  BuiltFile file;
  IndexBuilder builder(kFormat, file.output(), 7);
  std::vector<std::vector<uint8_t>> entries;
  for (uint32_t i = 0; i < GetParam(); ++i) {
    entries.push_back(LongEntry(i * 3, 100 + i / 200, static_cast<uint8_t>(i % 200)));
    builder.Add(entries.back());
  }
  uint32_t root = builder.Finish();
  EXPECT_EQ(builder.entry_count(), entries.size());
  PageCache& pages = file.Read();
  EXPECT_EQ(ReadEntries(pages, root), entries);
  IndexPage top = ReadIndexPage(pages, kFormat, root);
  EXPECT_EQ(top.leaf, builder.pages().size() == 1);
}

// No entry, one leaf, several leaves under one root, and a three-level tree.
INSTANTIATE_TEST_SUITE_P(Sizes, IndexBuilderTest, ::testing::Values(0u, 10u, 3000u, 200000u));

TEST(IndexBuilderLimitTest, AnEntryLargerThanAPageIsRefused) {
  BuiltFile file;
  IndexBuilder builder(kFormat, file.output(), 7);
  EXPECT_THROW(builder.Add(Bytes(kFormat.page_size - kFormat.index_first_entry + 1, 0)), JetError);
}

TEST(IndexBuilderPrefixTest, SharedPrefixesPackMoreEntriesPerPage) {
  BuiltFile file;
  IndexBuilder builder(kFormat, file.output(), 7);
  // 2000 entries differing only in the last key byte and the row: the leaf stores each in
  // a few bytes once the shared prefix is taken out.
  std::vector<uint8_t> entry = LongEntry(0, 50, 0);
  for (uint32_t i = 0; i < 2000; ++i) {
    PutBigU32(entry, 1, 0x80000000u + i);
    entry[8] = static_cast<uint8_t>(i % 250);
    PutBigU24(entry, 5, 50 + i / 250);
    builder.Add(entry);
  }
  builder.Finish();
  EXPECT_LE(builder.pages().size(), 5u);
}

Column MakeColumn(ColumnType type, uint16_t number, uint16_t var_index, uint16_t fixed_offset,
                  uint16_t length, bool fixed) {
  Column column{};
  column.type = static_cast<uint8_t>(type);
  column.number = number;
  column.var_index = var_index;
  column.fixed_offset = fixed_offset;
  column.length = length;
  column.flags = static_cast<uint8_t>((fixed ? kColumnFixedLength : 0) | kColumnNullable);
  return column;
}

// Column 2 was dropped: its number is a gap in the null mask, and so is variable slot 1.
TableDefinition MixedTable() {
  TableDefinition table{};
  table.page = 9;
  table.max_columns = 6;
  table.var_column_count = 3;
  table.columns = {MakeColumn(ColumnType::kLong, 0, 0, 0, 4, true),
                   MakeColumn(ColumnType::kBoolean, 1, 0, 0, 0, true),
                   MakeColumn(ColumnType::kText, 3, 0, 0, 0, false),
                   MakeColumn(ColumnType::kMemo, 4, 2, 0, 0, false),
                   MakeColumn(ColumnType::kDouble, 5, 0, 8, 8, true)};
  return table;
}

Field Value(std::vector<uint8_t> bytes) { return Field{false, false, std::move(bytes)}; }
Field Null() { return Field{}; }
Field Flag(bool value) { return Field{false, value, {}}; }

std::vector<Field> RoundTrip(const std::vector<Field>& fields, size_t* stored_out_of_line) {
  TableDefinition table = MixedTable();
  BuiltFile file;
  LongValueWriter writer(kFormat, file.output());
  size_t out_of_line = 0;
  std::vector<uint8_t> row;
  RowEncoder(kFormat, table).Encode(
      fields,
      [&](size_t, const Field& field) {
        ++out_of_line;
        return writer.Write(field.bytes);
      },
      row);
  writer.Flush();
  if (stored_out_of_line) *stored_out_of_line = out_of_line;
  std::vector<size_t> offsets;
  std::vector<Field> decoded;
  DecodeRow(file.Read(), kFormat, table, ByteView(row, "row", 0), offsets, decoded);
  return decoded;
}

void ExpectSameFields(const std::vector<Field>& a, const std::vector<Field>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].null, b[i].null) << "column " << i;
    EXPECT_EQ(a[i].flag, b[i].flag) << "column " << i;
    EXPECT_EQ(a[i].bytes, b[i].bytes) << "column " << i;
  }
}

TEST(RowEncoderTest, EveryKindOfColumnDecodesToWhatWasEncoded) {
  std::vector<Field> fields = {Value(Bytes(4, 1)), Flag(true), Value(Bytes(30, 2)),
                               Value(Bytes(40, 3)), Value(Bytes(8, 4))};
  size_t out_of_line = 0;
  ExpectSameFields(RoundTrip(fields, &out_of_line), fields);
  EXPECT_EQ(out_of_line, 0u) << "a short long value stays in the row";
}

TEST(RowEncoderTest, NullsFalseFlagsAndEmptyTextSurvive) {
  std::vector<Field> fields = {Null(), Flag(false), Value({}), Null(), Null()};
  ExpectSameFields(RoundTrip(fields, nullptr), fields);
}

TEST(RowEncoderTest, LongValuesMoveOutOfTheRowWhenLargeOrWhenTheRowIsFull) {
  std::vector<Field> large = {Value(Bytes(4, 1)), Flag(false), Null(), Value(Bytes(5000, 5)), Null()};
  size_t out_of_line = 0;
  ExpectSameFields(RoundTrip(large, &out_of_line), large);
  EXPECT_EQ(out_of_line, 1u);

  std::vector<Field> crowded = {Null(), Flag(false), Value(Bytes(4000, 6)), Value(Bytes(60, 7)), Null()};
  ExpectSameFields(RoundTrip(crowded, &out_of_line), crowded);
  EXPECT_EQ(out_of_line, 1u) << "the memo would push the row past a page";
}

TEST(RowEncoderTest, RejectsAFixedValueOfTheWrongSizeAndARowLargerThanAPage) {
  TableDefinition table = MixedTable();
  std::vector<uint8_t> row;
  LongValueStore none = [](size_t, const Field&) { return LongValueHeader{}; };
  std::vector<Field> wrong = {Value(Bytes(3, 1)), Flag(false), Null(), Null(), Null()};
  EXPECT_THROW(RowEncoder(kFormat, table).Encode(wrong, none, row), JetError);
  std::vector<Field> huge = {Null(), Flag(false), Value(Bytes(4100, 1)), Null(), Null()};
  EXPECT_THROW(RowEncoder(kFormat, table).Encode(huge, none, row), JetError);
}

// A page of `size` bytes that names `number` in its first four.
std::vector<uint8_t> NumberedPage(uint32_t number, size_t size) {
  std::vector<uint8_t> page = Bytes(size, static_cast<uint8_t>(number));
  PutU32(page, 0, number);
  return page;
}

// Whatever the order pages are written in (ahead of those gathered, behind them, with pages
// never written between them), each reads back as written and the others as zeros.
TEST(PageOutputTest, PagesWrittenInAnyOrderReadBackAsWritten) {
  testing::ScratchDirectory dir;
  const uint32_t size = kFormat.page_size;
  const uint32_t far = (8u << 20) / size;  // beyond the pages gathered for one write
  const std::vector<uint32_t> order = {0, 1, 3, 2, far, 5, far + 2, 2 * far};
  PageOutput output(testing::CreateFile(dir.Path("out.mdb")), dir.Path("out.mdb"), size);
  output.Reserve(2 * far + 1);
  for (uint32_t number : order) output.Write(number, NumberedPage(number, size));
  output.Finish();
  const std::vector<uint8_t> file = testing::ReadBytes(dir.Path("out.mdb"));
  ASSERT_EQ(file.size(), (2 * far + 2) * size);
  for (uint32_t number = 0; number < 2 * far + 2; ++number) {
    const bool written = std::find(order.begin(), order.end(), number) != order.end();
    const std::vector<uint8_t> expected = written ? NumberedPage(number, size) : std::vector<uint8_t>(size, 0);
    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + number * size)) << "page " << number;
  }
}

// The process's memory that no file backs, in kB.
size_t AnonymousKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::stoul(line.substr(8));
  }
  return 0;
}

// Reading a file through holds only a few blocks of it in memory, and bytes kept from before
// their block left the cache still read right.
TEST(FileSourceTest, ReadingAFileThroughKeepsItsMemoryBounded) {
  testing::ScratchDirectory dir;
  const uint32_t size = kFormat.page_size;
  const uint32_t pages = (48u << 20) / size;
  std::vector<uint8_t> bytes;
  for (uint32_t number = 0; number < pages; ++number) {
    const std::vector<uint8_t> page = NumberedPage(number, size);
    bytes.insert(bytes.end(), page.begin(), page.end());
  }
  testing::WriteBytes(dir.Path("big.mdb"), bytes);
  bytes = {};
  std::unique_ptr<PageSource> source = OpenFileSource(dir.Path("big.mdb"));
  const size_t before = AnonymousKilobytes();
  const SourceBytes first = source->Bytes(0, size);
  for (uint32_t number = 0; number < pages; ++number) {
    ASSERT_EQ(ByteView(source->Bytes(uint64_t{number} * size, size).bytes, "test", number).U32(0), number);
  }
  EXPECT_LT(AnonymousKilobytes() - before, 8u << 10);
  const std::vector<uint8_t> expected = NumberedPage(0, size);
  EXPECT_TRUE(std::equal(first.bytes.begin(), first.bytes.end(), expected.begin(), expected.end()));
}

}  // namespace
}  // namespace vintrel::jet
