// Damage to what a compaction derives from the rows (index pages of every level, usage maps,
// stored row counts, autonumber counters, index entries), done to real databases one page at a
// time: each copy is rebuilt from the rows, passes the checker without a note and holds what
// the undamaged file's compaction holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fixtures.h"
#include "jet/check/integrity_check.h"
#include "jet/coding.h"
#include "jet/compact/compact_database.h"
#include "jet/compact/content_digest.h"
#include "jet/database.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

using testing::ReadBytes;
using testing::ScratchDirectory;
using testing::WriteBytes;

constexpr size_t kPage = 4096;
using Damage = std::function<void(std::vector<uint8_t>&)>;

struct NamedDamage {
  std::string what;
  Damage damage;
};

uint8_t TypeOf(const std::vector<uint8_t>& bytes, size_t page) { return bytes[page * kPage]; }
uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

Damage Zero(size_t page) {
  return [page](std::vector<uint8_t>& bytes) { std::fill_n(bytes.begin() + page * kPage, kPage, 0); };
}

// The row pointers (the last 4 bytes) of a leaf page's first two entries swapped: the keys stay
// in order but lead to each other's rows. Or the second given the first's: where the two
// keys are equal, two entries are then one entry twice.
Damage SwapFirstPointers(size_t page, bool copy_first = false) {
  return [page, copy_first](std::vector<uint8_t>& bytes) {
    const size_t mask = page * kPage + 0x1B, first = page * kPage + 0x1E0;
    std::vector<size_t> ends;
    for (size_t bit = 0; bit < (0x1E0 - 0x1B) * 8 && ends.size() < 2; ++bit) {
      if ((bytes[mask + bit / 8] >> (bit % 8)) & 1) ends.push_back(first + bit);
    }
    if (ends.size() < 2) return;
    for (size_t i = 0; i < 4; ++i) {
      if (copy_first) {
        bytes[ends[1] - 4 + i] = bytes[ends[0] - 4 + i];
      } else {
        std::swap(bytes[ends[0] - 4 + i], bytes[ends[1] - 4 + i]);
      }
    }
  };
}

// A leaf page's last entry left out: its end is no longer marked, so the index names one
// row fewer than the table holds.
Damage DropLastEntry(size_t page) {
  return [page](std::vector<uint8_t>& bytes) {
    const size_t mask = page * kPage + 0x1B;
    for (size_t bit = (0x1E0 - 0x1B) * 8; bit-- > 0;) {
      uint8_t& byte = bytes[mask + bit / 8];
      if ((byte >> (bit % 8)) & 1) {
        byte = static_cast<uint8_t>(byte & ~(1u << (bit % 8)));
        return;
      }
    }
  };
}

// Every table's stored row count and autonumber counter set wrong, below and above.
Damage CountsAndCounters(std::vector<uint32_t> definitions, uint32_t count, uint32_t counter) {
  return [definitions, count, counter](std::vector<uint8_t>& bytes) {
    for (uint32_t page : definitions) {
      PutU32(std::span(bytes).subspan(page * kPage), 16, count);
      PutU32(std::span(bytes).subspan(page * kPage), 20, counter);
    }
  };
}

std::vector<uint32_t> DefinitionPages(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> pages;
  for (const CatalogEntry& entry : Database::OpenBytes(bytes, "sound.mdb")->ReadCatalog()) {
    if (entry.type == kCatalogLocalTable) pages.push_back(entry.definition_page());
  }
  return pages;
}

std::vector<NamedDamage> DamageCorpus(const std::vector<uint8_t>& bytes) {
  std::vector<NamedDamage> corpus;
  for (size_t page = 1; page < bytes.size() / kPage; ++page) {
    const uint8_t type = TypeOf(bytes, page);
    const bool map_rows = type == 0x01 && U32At(bytes, page * kPage + 4) == 0;
    if (type == 0x03 || type == 0x04 || type == 0x05 || map_rows) {
      corpus.push_back({"page " + std::to_string(page) + " zeroed", Zero(page)});
    }
    if (type == 0x04) {
      corpus.push_back({"leaf " + std::to_string(page) + " shuffled", SwapFirstPointers(page)});
      corpus.push_back({"leaf " + std::to_string(page) + " naming a row twice", SwapFirstPointers(page, true)});
      corpus.push_back({"leaf " + std::to_string(page) + " without its last entry", DropLastEntry(page)});
    }
  }
  const std::vector<uint32_t> definitions = DefinitionPages(bytes);
  corpus.push_back({"row counts 0, counters 0", CountsAndCounters(definitions, 0, 0)});
  corpus.push_back({"row counts and counters huge", CountsAndCounters(definitions, 0x7FFFFFF0, 0x7FFFFFF0)});
  return corpus;
}

class RepairTest : public ::testing::TestWithParam<std::string> {};

TEST_P(RepairTest, DamagedDerivedStructuresAreRebuiltFromTheRows) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  const std::vector<uint8_t> sound = ReadBytes(GetParam());
  WriteBytes(dir.Path("sound.mdb"), sound);
  CompactDatabase(dir.Path("sound.mdb"), dir.Path("reference.mdb"));
  const ContentDigest reference = DigestContent(*Database::Open(dir.Path("reference.mdb")));

  for (const NamedDamage& damage : DamageCorpus(sound)) {
    SCOPED_TRACE(damage.what);
    std::vector<uint8_t> bytes = sound;
    damage.damage(bytes);
    WriteBytes(dir.Path("damaged.mdb"), bytes);
    std::filesystem::remove(dir.Path("copy.mdb"));
    try {
      CompactDatabase(dir.Path("damaged.mdb"), dir.Path("copy.mdb"));
    } catch (const JetError& error) {
      ADD_FAILURE() << error.what();
      continue;
    }
    auto copy = Database::Open(dir.Path("copy.mdb"));
    EXPECT_EQ(DigestContent(*copy), reference);
    const IntegrityReport report = CheckIntegrity(*copy);
    EXPECT_TRUE(report.faults.empty() && report.notes.empty())
        << (report.faults.empty() ? report.notes.front() : report.faults.front().text);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RepairTest, ::testing::ValuesIn(testing::FixtureFiles({"jet4"})),
                         testing::FileTestName);

}  // namespace
}  // namespace vintrel::jet
