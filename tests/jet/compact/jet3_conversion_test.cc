// Jet 3 sources converted to Jet 4, checked against what Jet 4 itself wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fixtures.h"
#include "jet/compact/compact_database.h"
#include "jet/database.h"
#include "jet/pages/index_page.h"
#include "scratch_file.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

using testing::ScratchDirectory;

// Each user table's index keys, sorted, by table and the index's columns (names, order).
using KeysByIndex = std::map<std::string, std::vector<std::vector<uint8_t>>>;

KeysByIndex UserTableKeys(const std::string& path) {
  auto database = Database::Open(path);
  KeysByIndex keys;
  for (const CatalogEntry& entry : database->ReadCatalog()) {
    if (entry.type != kCatalogLocalTable || (entry.flags & kCatalogSystemFlags) != 0) continue;
    const TableDefinition table = database->ReadTable(entry.definition_page());
    for (const RealIndex& index : table.real_indexes) {
      std::string name = ToUtf8(entry.name);
      for (const IndexColumn& part : index.columns) {
        auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                   [&](const Column& c) { return c.number == part.column_number; });
        name += " " + ToUtf8(column->name) + (part.ascending ? "" : " desc");
      }
      std::vector<std::vector<uint8_t>>& entries = keys[name];
      IndexReader reader(database->pages(), database->format(), index.root_page);
      IndexEntry index_entry;
      while (reader.Next(index_entry)) entries.push_back(index_entry.key);
      std::sort(entries.begin(), entries.end());
    }
  }
  return keys;
}

// These Jet 3 fixtures have Jet 4 twins holding the same user tables, whose keys Jet 4 wrote.
TEST(Jet3ConversionTest, ComputedKeysAreThoseJet4WroteForTheSameRows) {
  VINTREL_REQUIRE_FIXTURES();
  const std::filesystem::path root = testing::FixturesRoot();
  size_t indexes = 0;
  for (const char* name : {"testV", "indexTestV", "compIndexTestV", "delTestV", "overflowTestV"}) {
    ScratchDirectory dir;
    const std::string source = dir.Path("source.mdb"), copy = dir.Path("copy.mdb");
    std::filesystem::copy_file(root / "jet3" / (name + std::string("1997.mdb")), source);
    CompactDatabase(source, copy);
    const KeysByIndex converted = UserTableKeys(copy);
    const KeysByIndex twin = UserTableKeys((root / "jet4" / (name + std::string("2000.mdb"))).string());
    ASSERT_EQ(converted.size(), twin.size()) << name;
    for (const auto& [index, keys] : twin) {
      auto found = converted.find(index);
      ASSERT_NE(found, converted.end()) << name << ": " << index;
      EXPECT_EQ(found->second, keys) << name << ": " << index;
      ++indexes;
    }
  }
  EXPECT_GT(indexes, 10u);
}

}  // namespace
}  // namespace vintrel::jet
