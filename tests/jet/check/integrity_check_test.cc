// The integrity check finds each kind of fault in an otherwise sound compacted copy, and says
// what a compaction does about it.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures.h"
#include "jet/check/integrity_check.h"
#include "jet/coding.h"
#include "jet/compact/compact_database.h"
#include "jet/database.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/index_page.h"
#include "jet/table_reader.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

using testing::ReadBytes;
using testing::ScratchDirectory;

constexpr size_t kPage = 4096;

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

IntegrityReport Check(const std::vector<uint8_t>& bytes) {
  auto database = Database::OpenBytes(bytes, "damaged.mdb");
  return CheckIntegrity(*database);
}

// The fault that mentions `text`, or null.
const Fault* Mentioning(const IntegrityReport& report, const std::string& text) {
  for (const Fault& fault : report.faults) {
    if (fault.text.find(text) != std::string::npos) return &fault;
  }
  return nullptr;
}

bool NoteMentions(const IntegrityReport& report, const std::string& text) {
  for (const std::string& note : report.notes) {
    if (note.find(text) != std::string::npos) return true;
  }
  return false;
}

// A user table with rows and an index: its definition page, the page of its first row and its
// first index's root page.
struct UserTable {
  uint32_t definition = 0, data = 0, index_root = 0;
  size_t rows = 0;
};

UserTable FindUserTable(const std::vector<uint8_t>& bytes) {
  auto database = Database::OpenBytes(bytes, "copy.mdb");
  for (const CatalogEntry& entry : database->ReadCatalog()) {
    if (entry.type != kCatalogLocalTable || (entry.flags & kCatalogSystemFlags) != 0) continue;
    const TableDefinition table = database->ReadTable(entry.definition_page());
    if (table.real_indexes.empty()) continue;
    TableReader reader(database->pages(), database->format(), table);
    std::vector<Field> fields;
    UserTable found{table.page, 0, table.real_indexes[0].root_page, 0};
    while (reader.Next(fields)) {
      if (found.rows++ == 0) found.data = reader.location().page;
    }
    if (found.rows > 0) return found;
  }
  ADD_FAILURE() << "no indexed user table with rows";
  return {};
}

class IntegrityCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VINTREL_REQUIRE_FIXTURES();
    // A private copy of the source: a compaction locks its source, and tests run in parallel.
    std::filesystem::copy_file(testing::FixturesRoot() / "jet4" / "indexTestV2000.mdb",
                               dir_.Path("source.mdb"));
    CompactDatabase(dir_.Path("source.mdb"), dir_.Path("copy.mdb"));
    copy_ = ReadBytes(dir_.Path("copy.mdb"));
  }

  ScratchDirectory dir_;
  std::vector<uint8_t> copy_;
};

TEST_F(IntegrityCheckTest, ACompactedCopyIsSoundWithoutNotes) {
  const IntegrityReport report = Check(copy_);
  EXPECT_TRUE(report.faults.empty()) << report.faults.front().text;
  EXPECT_EQ(report.notes, std::vector<std::string>{});
}

TEST_F(IntegrityCheckTest, APageNobodyOwnsPastTheGlobalMapIsRepaired) {
  // The global map marks pages past the end as free up to page 511, as Jet does; a page
  // beyond what it covers belongs to nothing.
  std::vector<uint8_t> bytes = copy_;
  bytes.resize(513 * kPage, 0);
  const IntegrityReport report = Check(bytes);
  EXPECT_EQ(Mentioning(report, "page 511 "), nullptr);
  const Fault* fault = Mentioning(report, "page 512 is owned by nothing");
  ASSERT_NE(fault, nullptr);
  EXPECT_EQ(fault->remedy, Remedy::kRepaired);
}

// Access leaves stored counts stale in user tables too, below the rows and above them.
TEST_F(IntegrityCheckTest, AStaleStoredRowCountIsANoteEitherWay) {
  const UserTable table = FindUserTable(copy_);
  for (size_t count : {table.rows - 1, table.rows + 1}) {
    std::vector<uint8_t> bytes = copy_;
    PutU32(bytes, table.definition * kPage + kJet4Format.tdef_row_count, static_cast<uint32_t>(count));
    const IntegrityReport report = Check(bytes);
    EXPECT_TRUE(report.sound()) << report.faults.front().text;
    EXPECT_TRUE(NoteMentions(report, std::to_string(table.rows) + " rows where its definition says " +
                                         std::to_string(count)));
  }
}

TEST_F(IntegrityCheckTest, ADeletedRowLeavesIndexEntriesThatACompactionRebuilds) {
  std::vector<uint8_t> bytes = copy_;
  const UserTable table = FindUserTable(copy_);
  bytes[table.data * kPage + kJet4Format.data_row_offsets + 1] |= 0x80;  // row 0's deleted flag
  const IntegrityReport report = Check(bytes);
  const Fault* fault = Mentioning(report, "do not match the");
  ASSERT_NE(fault, nullptr);
  EXPECT_EQ(fault->remedy, Remedy::kRepaired);
  EXPECT_EQ(report.worst(), Remedy::kRepaired);
}

// The page still reads as a data page, but of another table: the rows the indexes name on it
// are lost to its own table.
TEST_F(IntegrityCheckTest, ADataPageGivenToAnotherTableLosesItsRows) {
  std::vector<uint8_t> bytes = copy_;
  const UserTable table = FindUserTable(copy_);
  PutU32(bytes, table.data * kPage + kJet4Format.data_table_page, kCatalogPage);
  const IntegrityReport report = Check(bytes);
  const Fault* fault =
      Mentioning(report, "lists page " + std::to_string(table.data) + ", which is not one of its data pages");
  ASSERT_NE(fault, nullptr);
  EXPECT_EQ(fault->remedy, Remedy::kRowsLost);
}

TEST_F(IntegrityCheckTest, AnIndexRootSharedByTwoIndexesIsFound) {
  // MSysObjects has two real indexes; point the second at the first's root.
  std::vector<uint8_t> bytes = copy_;
  auto database = Database::OpenBytes(copy_, "copy.mdb");
  TableDefinition catalog = database->ReadTable(2);
  ASSERT_GE(catalog.real_indexes.size(), 2u);
  const uint32_t first_root = catalog.real_indexes[0].root_page;
  const uint32_t second_root = catalog.real_indexes[1].root_page;
  bool patched = false;
  for (size_t at = 2 * kPage; at + 4 <= 3 * kPage; ++at) {
    if (U32At(bytes, at) == second_root && U32At(bytes, at - 4) == catalog.real_indexes[1].usage_map) {
      PutU32(bytes, at, first_root);
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  const IntegrityReport report = Check(bytes);
  EXPECT_NE(Mentioning(report, "is owned by both"), nullptr);
  EXPECT_NE(Mentioning(report, "its usage map does not list exactly the pages of its tree"), nullptr);
}

// The last entry of an index held on one leaf page, patched where its bytes begin (after the
// prefix it shares with the entry before) or end (before its row pointer).
std::vector<uint8_t> PatchLastEntry(const std::vector<uint8_t>& copy, bool at_start, uint8_t value) {
  constexpr size_t kEntryMask = 27, kFirstEntry = 0x1E0, kPointer = 4;
  auto database = Database::OpenBytes(copy, "copy.mdb");
  std::vector<uint8_t> bytes = copy;
  for (const CatalogEntry& entry : database->ReadCatalog()) {
    if (entry.type != kCatalogLocalTable) continue;
    for (const RealIndex& index : database->ReadTable(entry.definition_page()).real_indexes) {
      const IndexPage root = ReadIndexPage(database->pages(), database->format(), index.root_page);
      if (!root.leaf || root.next_page != 0 || root.entries.size() < 2) continue;
      const size_t at = index.root_page * kPage;
      std::vector<size_t> ends;
      for (size_t bit = 0; bit < (kFirstEntry - kEntryMask) * 8; ++bit) {
        if ((bytes[at + kEntryMask + bit / 8] >> (bit % 8)) & 1) ends.push_back(kFirstEntry + bit);
      }
      if (ends.back() - ends[ends.size() - 2] <= kPointer) continue;
      uint8_t& patched = bytes[at + (at_start ? ends[ends.size() - 2] : ends.back() - kPointer - 1)];
      if (patched == value || (!at_start && patched == 0xFF)) continue;
      patched = at_start ? value : patched + 1;
      return bytes;
    }
  }
  ADD_FAILURE() << "no index on one leaf page";
  return bytes;
}

TEST_F(IntegrityCheckTest, AKeyThatDoesNotMatchItsRowOrItsPlaceIsFound) {
  // The last key raised by one in its last byte: the entries keep their order and number, so
  // only the key's value gives it away.
  const IntegrityReport changed = Check(PatchLastEntry(copy_, false, 0));
  ASSERT_EQ(changed.faults.size(), 1u) << changed.faults.front().text;
  EXPECT_NE(Mentioning(changed, "does not match the row's values"), nullptr);
  // Its first own byte lowered below the entry before's: out of order, rebuilt by a compaction.
  const IntegrityReport reordered = Check(PatchLastEntry(copy_, true, 0x00));
  const Fault* fault = Mentioning(reordered, "entries are out of order");
  ASSERT_NE(fault, nullptr) << (reordered.faults.empty() ? "sound" : reordered.faults.front().text);
  EXPECT_EQ(fault->remedy, Remedy::kRepaired);
}

// In a Jet 4 copy and in a Jet 3 file alike: an index is rebuilt from the rows, a data page's
// rows are gone.
TEST_F(IntegrityCheckTest, AZeroedIndexPageIsRepairedAZeroedDataPageLosesRows) {
  const std::vector<uint8_t>& jet4 = copy_;
  const std::vector<uint8_t> jet3 =
      ReadBytes((testing::FixturesRoot() / "jet3" / "indexTestV1997.mdb").string());
  for (const std::vector<uint8_t>* sound : {&jet4, &jet3}) {
    const size_t page_size = (*sound)[kVersionOffset] == 0 ? kJet3Format.page_size : kJet4Format.page_size;
    const UserTable table = FindUserTable(*sound);
    SCOPED_TRACE(page_size);
    auto zeroed = [&](uint32_t page) {
      std::vector<uint8_t> bytes = *sound;
      std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(page * page_size), page_size, 0);
      return Check(bytes);
    };
    const IntegrityReport index = zeroed(table.index_root);
    EXPECT_FALSE(index.sound());
    EXPECT_EQ(index.worst(), Remedy::kRepaired) << index.faults.front().text;
    EXPECT_NE(Mentioning(index, "index 0"), nullptr);

    const IntegrityReport data = zeroed(table.data);
    EXPECT_EQ(data.worst(), Remedy::kRowsLost);
    const Fault* lost = Mentioning(data, "page " + std::to_string(table.data));
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->remedy, Remedy::kRowsLost) << lost->text;
  }
}

}  // namespace
}  // namespace vintrel::jet
