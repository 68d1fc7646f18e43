// Every key of every index of every Jet 4 database in the corpus, written by the real engine
// or by another library for the format, is recomputed from its row's values and must equal
// the stored bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string_view>

#include "fixtures.h"
#include "jet/database.h"
#include "jet/keys/index_key.h"
#include "jet/pages/index_page.h"
#include "jet/table_reader.h"
#include "scratch_file.h"
#include "text/utf.h"
#include "jet/value_format.h"

namespace vintrel::jet {
namespace {

using testing::ScratchDirectory;

uint64_t KeyHash(const std::vector<uint8_t>& key) {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

std::vector<uint8_t> Utf16(std::u16string_view text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) out.insert(out.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
  return out;
}

TableDefinition OneColumnTable(ColumnType type, size_t length) {
  TableDefinition table{};
  table.columns.push_back(Column{u"c", static_cast<uint8_t>(type), 0, 0, 0,
                                 static_cast<uint16_t>(length), kColumnFixedLength,
                                 kGeneralSortOrder, 0, 0, false});
  return table;
}

// The ascending key of a memo value.
std::vector<uint8_t> MemoKey(std::u16string_view text) {
  IndexKeyEncoder encoder(OneColumnTable(ColumnType::kMemo, 0), RealIndex{{{0, true}}, 0, 0, 0});
  std::vector<uint8_t> key;
  encoder.Encode({Field{false, false, Utf16(text)}}, key);
  return key;
}

uint32_t Pointer(uint32_t page, uint32_t row) { return (page << 8) | row; }

struct Mismatch {
  size_t index;
  uint32_t row;
  std::vector<uint8_t> stored;
};

struct Tally {
  size_t compared = 0;
  size_t matched = 0;
};

// Compares one table's indexes; rows are read once, keeping a hash of each computed key.
void CheckTable(Database& db, const std::string& name, const TableDefinition& table, Tally& tally) {
  std::vector<IndexKeyEncoder> encoders;
  for (const RealIndex& index : table.real_indexes) encoders.emplace_back(table, index);
  std::vector<std::vector<std::pair<uint32_t, uint64_t>>> computed(encoders.size());
  std::vector<Field> fields;
  std::vector<uint8_t> key;
  TableReader reader(db.pages(), db.format(), table);
  while (reader.Next(fields)) {
    const uint32_t row = Pointer(reader.location().page, reader.location().row);
    for (size_t i = 0; i < encoders.size(); ++i) {
      encoders[i].Encode(fields, key);
      computed[i].emplace_back(row, KeyHash(key));
    }
  }
  std::vector<Mismatch> mismatches;
  for (size_t i = 0; i < encoders.size(); ++i) {
    std::sort(computed[i].begin(), computed[i].end());
    IndexReader entries(db.pages(), db.format(), table.real_indexes[i].root_page);
    IndexEntry entry;
    while (entries.Next(entry)) {
      ++tally.compared;
      const uint32_t row = Pointer(entry.data_page, entry.data_row);
      auto found = std::lower_bound(computed[i].begin(), computed[i].end(),
                                    std::make_pair(row, uint64_t{0}));
      if (found != computed[i].end() && found->first == row && found->second == KeyHash(entry.key)) {
        ++tally.matched;
      } else if (mismatches.size() < 10) {
        mismatches.push_back({i, row, entry.key});
      }
    }
  }
  if (mismatches.empty()) return;
  // Read the rows again for the few that differ, to show their values.
  TableReader again(db.pages(), db.format(), table);
  while (again.Next(fields)) {
    const uint32_t row = Pointer(again.location().page, again.location().row);
    for (const Mismatch& m : mismatches) {
      if (m.row != row) continue;
      encoders[m.index].Encode(fields, key);
      std::string values;
      for (const IndexColumn& part : table.real_indexes[m.index].columns) {
        for (size_t c = 0; c < table.columns.size(); ++c) {
          if (table.columns[c].number != part.column_number) continue;
          // Appended piece by piece: GCC 12 at -O3 sees a false overlap (-Wrestrict) in
          // the chained concatenation.
          values += ' ';
          values += ToUtf8(table.columns[c].name);
          values += '=';
          values += fields[c].null ? std::string("null") : FormatHex(fields[c].bytes);
        }
      }
      ADD_FAILURE() << "table " << name << ", index " << m.index << ", row " << (row & 0xFF)
                    << " of page " << (row >> 8) << ":" << values << "\n  stored   "
                    << FormatHex(m.stored) << "\n  computed " << FormatHex(key);
    }
  }
  for (const Mismatch& m : mismatches) {
    if (!std::any_of(computed[m.index].begin(), computed[m.index].end(),
                     [&](const auto& c) { return c.first == m.row; })) {
      ADD_FAILURE() << "table " << name << ", index " << m.index << " names row " << (m.row & 0xFF)
                    << " of page " << (m.row >> 8) << ", which is not a live row";
    }
  }
}

// Every Jet 4 file of `folder`, those compressed with gzip unpacked into `scratch`.
std::vector<std::string> Jet4Files(const char* folder, const ScratchDirectory& scratch) {
  std::vector<std::string> files = testing::FixtureFiles({folder});
  for (const auto& entry : std::filesystem::directory_iterator(testing::FixturesRoot() / folder)) {
    if (entry.path().extension() != ".gz") continue;
    const std::string unpacked = scratch.Path(entry.path().stem().string());
    EXPECT_EQ(std::system(("gzip -dc '" + entry.path().string() + "' > '" + unpacked + "'").c_str()), 0);
    files.push_back(unpacked);
  }
  return files;
}

void ExpectRecomputedKeysEqualStored(const std::vector<std::string>& files) {
  ASSERT_FALSE(files.empty());
  for (const std::string& file : files) {
    auto db = Database::Open(file);
    Tally tally;
    for (const CatalogEntry& object : db->ReadCatalog()) {
      if (object.type != kCatalogLocalTable) continue;
      CheckTable(*db, ToUtf8(object.name), db->ReadTable(object.definition_page()), tally);
    }
    std::cout << std::filesystem::path(file).filename().string() << ": " << tally.matched << " of "
              << tally.compared << " keys match\n";
    EXPECT_EQ(tally.matched, tally.compared) << file;
  }
}

TEST(IndexKeyTest, RecomputedKeysEqualTheEnginesOnEveryJet4Fixture) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory scratch;
  std::vector<std::string> files = testing::FixtureFiles({"jet4"});
  for (std::string& file : Jet4Files("generated", scratch)) files.push_back(std::move(file));
  ExpectRecomputedKeysEqualStored(files);
}

// Random text of many scripts (some ending in spaces, some null) under ascending, descending
// and two-column indexes, and one index on each indexed type with extremes, zeros and nulls:
// keys another library for the format computed from the values.
TEST(IndexKeyTest, RecomputedKeysEqualThoseAnotherLibraryWroteForRandomValues) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory scratch;
  ExpectRecomputedKeysEqualStored(Jet4Files("keys", scratch));
}

// No fixture indexes these types: their keys must at least sort as their values do, both
// ways (the sign handling is where an encoding goes wrong).
TEST(IndexKeyTest, KeysOfTypesNoFixtureIndexesSortAsTheirValues) {
  auto bytes = [](const auto& value) {
    std::vector<uint8_t> out(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
    return out;
  };
  const std::vector<std::pair<ColumnType, std::vector<std::vector<uint8_t>>>> cases = {
      {ColumnType::kInteger, {bytes(int16_t{-300}), bytes(int16_t{-1}), bytes(int16_t{0}), bytes(int16_t{2})}},
      {ColumnType::kCurrency, {bytes(int64_t{-50000}), bytes(int64_t{0}), bytes(int64_t{10000})}},
      {ColumnType::kFloat, {bytes(-2.5f), bytes(-0.5f), bytes(0.0f), bytes(0.25f), bytes(3.0f)}},
      {ColumnType::kDouble, {bytes(-1e10), bytes(-1.0), bytes(0.0), bytes(1e-5), bytes(7.0)}},
      {ColumnType::kText, {Utf16(u"abc"), Utf16(u"\u00e1bc"), Utf16(u"abd"), Utf16(u"b")}},
  };
  for (const auto& [type, values] : cases) {
    const TableDefinition table = OneColumnTable(type, values[0].size());
    for (bool ascending : {true, false}) {
      RealIndex index{{{0, ascending}}, 0, 0, 0};
      IndexKeyEncoder encoder(table, index);
      std::vector<uint8_t> previous, key;
      for (size_t i = 0; i < values.size(); ++i) {
        encoder.Encode({Field{false, false, values[i]}}, key);
        if (i > 0) {
          EXPECT_EQ(ascending, previous < key) << "type " << int(type) << ", value " << i;
        }
        previous = key;
      }
    }
  }
}

// The fixtures end values in one space, well within the 255 characters keyed.
TEST(IndexKeyTest, TrailingSpacesAreLeftOutOfTextKeysOnceTheValueIsCut) {
  EXPECT_EQ(MemoKey(u"abc   "), MemoKey(u"abc"));
  const std::u16string kept(250, u'x');
  EXPECT_EQ(MemoKey(kept + std::u16string(10, u' ') + u"y"), MemoKey(kept));
}

// The fixtures' kana texts are at most 60 characters: kana past the 255 keyed, small ones
// here, must leave no mark in the kana part.
TEST(IndexKeyTest, KanaPastTheKeyedLengthLeaveNoMark) {
  const std::u16string keyed(255, u'\u304B');  // full-size hiragana KA
  EXPECT_EQ(MemoKey(keyed + std::u16string(45, u'\u3041')), MemoKey(keyed));  // small A
}

}  // namespace
}  // namespace vintrel::jet
