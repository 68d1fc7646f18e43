// The integrity check finds each kind of fault in an otherwise sound compacted copy.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures.h"
#include "jet/check/integrity_check.h"
#include "jet/coding.h"
#include "jet/compact/compact_database.h"
#include "jet/database.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/index_page.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

using testing::ReadBytes;
using testing::ScratchDirectory;
using testing::WriteBytes;

constexpr size_t kPage = 4096;

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

class IntegrityCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VINTREL_REQUIRE_FIXTURES();
    // A private copy of the source: a compaction locks its source, and tests run in parallel.
    std::filesystem::copy_file(testing::FixturesRoot() / "jet4" / "indexTestV2000.mdb", dir_.Path("source.mdb"));
    CompactDatabase(dir_.Path("source.mdb"), dir_.Path("copy.mdb"));
    copy_ = ReadBytes(dir_.Path("copy.mdb"));
  }

  std::vector<std::string> Check(const std::vector<uint8_t>& bytes) {
    auto database = Database::OpenBytes(bytes, "damaged.mdb");
    return CheckIntegrity(*database).faults;
  }

  // A data page of an indexed user table holding at least two rows.
  size_t UserDataPage() const {
    for (size_t page = 3; page < copy_.size() / kPage; ++page) {
      const size_t at = page * kPage;
      uint32_t owner = U32At(copy_, at + 4);
      if (copy_[at] == 0x01 && owner > 2 && owner != kLongValueOwner && copy_[at + 12] >= 2 &&
          copy_[owner * kPage + 40] == 0x4E && U32At(copy_, owner * kPage + 51) > 0) {
        return page;
      }
    }
    ADD_FAILURE() << "no user data page";
    return 0;
  }

  static bool Mentions(const std::vector<std::string>& faults, const std::string& text) {
    for (const std::string& fault : faults) {
      if (fault.find(text) != std::string::npos) return true;
    }
    return false;
  }

  ScratchDirectory dir_;
  std::vector<uint8_t> copy_;
};

TEST_F(IntegrityCheckTest, ACompactedCopyIsSound) { EXPECT_EQ(Check(copy_), std::vector<std::string>{}); }

TEST_F(IntegrityCheckTest, APageNobodyOwnsIsFound) {
  // The global map marks pages past the end as free up to page 511, as Jet does; a page
  // beyond what it covers belongs to nothing.
  std::vector<uint8_t> bytes = copy_;
  bytes.resize(513 * kPage, 0);
  auto faults = Check(bytes);
  EXPECT_FALSE(Mentions(faults, "page 511 "));
  EXPECT_TRUE(Mentions(faults, "page 512 is owned by nothing"));
}

TEST_F(IntegrityCheckTest, ADeletedRowBreaksTheRowCountAndTheIndexes) {
  std::vector<uint8_t> bytes = copy_;
  const size_t page = UserDataPage();
  bytes[page * kPage + 15] |= 0x80;  // the deleted flag of row 0's offset
  auto faults = Check(bytes);
  EXPECT_TRUE(Mentions(faults, "rows where its definition says"));
  EXPECT_TRUE(Mentions(faults, "do not match the"));
}

TEST_F(IntegrityCheckTest, ADataPageGivenToAnotherTableIsFound) {
  std::vector<uint8_t> bytes = copy_;
  const size_t page = UserDataPage();
  PutU32(bytes, page * kPage + 4, 2);
  auto faults = Check(bytes);
  EXPECT_TRUE(Mentions(faults, "lists page " + std::to_string(page) + ", which is not one of its data pages"));
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
  auto faults = Check(bytes);
  EXPECT_TRUE(Mentions(faults, "is owned by both"));
  EXPECT_TRUE(Mentions(faults, "its usage map does not list exactly the pages of its tree"));
}

TEST_F(IntegrityCheckTest, AKeyThatDoesNotMatchItsRowIsFound) {
  // The last key of an index held on one leaf page, raised by one in its last byte: the
  // entries keep their order and number, so only the key's value gives it away.
  constexpr size_t kEntryMask = 27, kFirstEntry = 0x1E0, kPointer = 4;
  auto database = Database::OpenBytes(copy_, "copy.mdb");
  std::vector<uint8_t> bytes = copy_;
  bool patched = false;
  for (const CatalogEntry& entry : database->ReadCatalog()) {
    if (entry.type != kCatalogLocalTable || patched) continue;
    for (const RealIndex& index : database->ReadTable(entry.definition_page()).real_indexes) {
      const IndexPage root = ReadIndexPage(database->pages(), database->format(), index.root_page);
      if (!root.leaf || root.next_page != 0 || root.entries.size() < 2) continue;
      const size_t at = index.root_page * kPage;
      std::vector<size_t> ends;
      for (size_t bit = 0; bit < (kFirstEntry - kEntryMask) * 8; ++bit) {
        if ((bytes[at + kEntryMask + bit / 8] >> (bit % 8)) & 1) ends.push_back(kFirstEntry + bit);
      }
      uint8_t& last = bytes[at + ends.back() - kPointer - 1];
      if (ends.back() - ends[ends.size() - 2] <= kPointer || last == 0xFF) continue;
      ++last;
      patched = true;
      break;
    }
  }
  ASSERT_TRUE(patched);
  auto faults = Check(bytes);
  EXPECT_EQ(faults.size(), 1u) << ::testing::PrintToString(faults);
  EXPECT_TRUE(Mentions(faults, "does not match the row's values"));
}

}  // namespace
}  // namespace vintrel::jet
