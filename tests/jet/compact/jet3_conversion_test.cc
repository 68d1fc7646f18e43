// Jet 3 sources converted to Jet 4, checked against what Jet 4 itself wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fixtures.h"
#include "jet/compact/compact_database.h"
#include "jet/compact/property_list.h"
#include "jet/database.h"
#include "jet/jet_error.h"
#include "jet/pages/index_page.h"
#include "jet/table_reader.h"
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

// The values of each user table's text and memo columns that Jet 4 may store compressed, as
// stored (compressed or not), sorted, by table and column.
using StoredText = std::map<std::string, std::vector<std::vector<uint8_t>>>;

StoredText UserTableText(const std::string& path) {
  auto database = Database::Open(path);
  StoredText text;
  for (const CatalogEntry& entry : database->ReadCatalog()) {
    if (entry.type != kCatalogLocalTable || (entry.flags & kCatalogSystemFlags) != 0) continue;
    const TableDefinition table = database->ReadTable(entry.definition_page());
    TableReader reader(database->pages(), database->format(), table);
    std::vector<Field> row;
    while (reader.Next(row)) {
      for (size_t c = 0; c < table.columns.size(); ++c) {
        const auto type = static_cast<ColumnType>(table.columns[c].type);
        if ((type != ColumnType::kText && type != ColumnType::kMemo) || !table.columns[c].compressed_text ||
            row[c].null) {
          continue;
        }
        text[ToUtf8(entry.name) + "." + ToUtf8(table.columns[c].name)].push_back(row[c].bytes);
      }
    }
  }
  for (auto& [column, values] : text) std::sort(values.begin(), values.end());
  return text;
}

// These Jet 3 fixtures have Jet 4 twins holding the same user tables, whose keys Jet 4 wrote,
// and whose text Jet 4 stored compressed where it could.
TEST(Jet3ConversionTest, ComputedKeysAndStoredTextAreThoseJet4WroteForTheSameRows) {
  VINTREL_REQUIRE_FIXTURES();
  const std::filesystem::path root = testing::FixturesRoot();
  size_t indexes = 0, text_columns = 0;
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
    // The twins' authors turned compression off in some columns; the others must match.
    const StoredText copy_text = UserTableText(copy);
    for (const auto& [column, values] : UserTableText((root / "jet4" / (name + std::string("2000.mdb"))).string())) {
      auto found = copy_text.find(column);
      if (found == copy_text.end()) continue;
      EXPECT_EQ(found->second, values) << name << ": " << column;
      ++text_columns;
    }
  }
  EXPECT_GT(indexes, 10u);
  EXPECT_GT(text_columns, 10u);
}

// The primary key holds "a" and "abcdefg"; once the second value is "a" and six spaces, the
// two rows have one Jet 4 key (trailing spaces are not keyed), which the copy's primary key
// cannot hold twice.
TEST(Jet3ConversionTest, UniqueIndexWhoseKeysCoincideInJet4IsRefused) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  const std::string source = dir.Path("source.mdb"), copy = dir.Path("copy.mdb");
  std::vector<uint8_t> bytes =
      testing::ReadBytes((testing::FixturesRoot() / "jet3" / "testV1997.mdb").string());
  const std::string_view value = "abcdefg";
  auto at = std::search(bytes.begin(), bytes.end(), value.begin(), value.end());
  ASSERT_NE(at, bytes.end());
  std::fill(at + 1, at + static_cast<ptrdiff_t>(value.size()), ' ');
  testing::WriteBytes(source, bytes);
  try {
    CompactDatabase(source, copy);
    FAIL() << "the conversion went through";
  } catch (const JetError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("table Table1: two rows have one key in its unique index 'PrimaryKey'"),
              std::string::npos) << what;
    EXPECT_NE(what.find("(A 'a') and (A 'a      ')"), std::string::npos) << what;
  }
  EXPECT_FALSE(std::filesystem::exists(copy));
}

// A memo property of 40,000 code-page characters is 80,000 bytes as UCS-2, more than Jet 4's
// 2-byte lengths hold: refused, where a truncated length would corrupt the list.
TEST(Jet3ConversionTest, PropertyTextTooLongForJet4IsRefused) {
  auto put = [](std::vector<uint8_t>& out, size_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  // One name, "D", and the object's chunk holding one memo property named by it.
  auto list_with_value = [&](size_t characters) {
    std::vector<uint8_t> list = {'K', 'K', 'D', 0};
    put(list, 6 + 2 + 1, 4);
    put(list, 0x80, 2);
    put(list, 1, 2);
    list.push_back('D');
    put(list, 6 + 6 + 8 + characters, 4);
    put(list, 0x00, 2);
    put(list, 6, 4);  // the chunk's header: no column name
    put(list, 0, 2);
    put(list, 8 + characters, 2);
    list.push_back(0);
    list.push_back(static_cast<uint8_t>(ColumnType::kMemo));
    put(list, 0, 2);
    put(list, characters, 2);
    list.insert(list.end(), characters, 'x');
    return list;
  };
  const TextEncoding cp1252(1252);
  EXPECT_EQ(Jet4PropertyList(list_with_value(10000), cp1252).size(), 4 + 6 + 4 + 6 + 6 + 8 + 20000u);
  EXPECT_THROW(Jet4PropertyList(list_with_value(40000), cp1252), UnsupportedError);
}

}  // namespace
}  // namespace vintrel::jet
