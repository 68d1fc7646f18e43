// Bad input: files that are not Jet databases, newer formats, a password, a missing file,
// and damaged copies of real databases. Each must end in a JetError with the exact
// description, never in a crash, a hang or another exception type.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>

#include "fixtures.h"
#include "jet/check/integrity_check.h"
#include "jet/database.h"
#include "jet/jet_error.h"
#include "jet/pages/index_page.h"
#include "tools/jet/json_dump.h"

namespace vintrel::jet {
namespace {

std::string ErrorOpening(const std::string& path) {
  try {
    Database::Open(path);
  } catch (const JetError& error) {
    return error.what();
  }
  return "(opened)";
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads everything the dump reads, plus every index; true when it all succeeded. The checker
// reads it all too, outside the handler: it reports damage, it never raises.
bool ReadEverything(std::vector<uint8_t> bytes) {
  std::unique_ptr<Database> db;
  try {
    db = Database::OpenBytes(std::move(bytes), "damaged.mdb");
  } catch (const JetError&) {
    return false;
  }
  CheckIntegrity(*db);
  try {
    std::ostringstream sink;
    WriteDump(*db, sink);
    for (const CatalogEntry& entry : db->ReadCatalog()) {
      if (entry.type != kCatalogLocalTable) continue;
      for (const RealIndex& index : db->ReadTable(entry.definition_page()).real_indexes) {
        IndexReader reader(db->pages(), db->format(), index.root_page);
        IndexEntry e;
        while (reader.Next(e)) {
        }
      }
    }
    return true;
  } catch (const JetError&) {
    return false;
  }
}

TEST(BadInputTest, NewerFormatsAreUnrecognized) {
  VINTREL_REQUIRE_FIXTURES();
  for (const char* name : {"emptyV2007.accdb", "fixedNumericTestV2010.accdb"}) {
    std::string path = (testing::FixturesRoot() / "ace" / name).string();
    EXPECT_EQ(ErrorOpening(path), "Unrecognized database format '" + FullPath(path) + "'.");
  }
}

TEST(BadInputTest, DatabasePasswordIsRefused) {
  VINTREL_REQUIRE_FIXTURES();
  std::string path = (testing::FixturesRoot() / "password" / "withPasswordV2000.mdb").string();
  EXPECT_EQ(ErrorOpening(path), "Not a valid password.");
}

TEST(BadInputTest, MissingFileIsNamedByItsFullPath) {
  std::string path = (std::filesystem::temp_directory_path() / "vintrel-no-such.mdb").string();
  EXPECT_EQ(ErrorOpening(path), "Could not find file '" + path + "'.");
  std::filesystem::path relative = "vintrel-no-such-relative.mdb";
  EXPECT_EQ(ErrorOpening(relative.string()),
            "Could not find file '" + std::filesystem::absolute(relative).string() + "'.");
}

TEST(BadInputTest, NonJetBytesAreUnrecognized) {
  for (std::vector<uint8_t> bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>(4096, 0),
                                     std::vector<uint8_t>(100, 'x')}) {
    try {
      Database::OpenBytes(bytes, "/tmp/x.mdb");
      ADD_FAILURE() << "opened " << bytes.size() << " bytes";
    } catch (const JetError& error) {
      EXPECT_STREQ(error.what(), "Unrecognized database format '/tmp/x.mdb'.");
    }
  }
}

class DamagedCopyTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DamagedCopyTest, TruncatedCopiesFailCleanly) {
  VINTREL_REQUIRE_FIXTURES();
  std::vector<uint8_t> original = ReadAll(GetParam());
  ASSERT_TRUE(ReadEverything(original));
  for (size_t keep : {size_t{0}, size_t{100}, size_t{4096}, original.size() / 3,
                      original.size() / 2, original.size() - 1}) {
    std::vector<uint8_t> copy(original.begin(), original.begin() + std::min(keep, original.size()));
    // A short copy may still hold every page the catalog needs; what matters is that
    // reading it ends in success or a JetError.
    ReadEverything(copy);
  }
  std::vector<uint8_t> short_copy(original.begin(), original.begin() + 4096 * 2);
  EXPECT_FALSE(ReadEverything(short_copy));
}

TEST_P(DamagedCopyTest, DamagedBytesFailCleanly) {
  VINTREL_REQUIRE_FIXTURES();
  std::vector<uint8_t> original = ReadAll(GetParam());
  std::mt19937 random(12345);
  size_t failures = 0;
  for (int trial = 0; trial < 150; ++trial) {
    std::vector<uint8_t> copy = original;
    // Damage the structures that matter most: the first pages, then anywhere.
    size_t span = trial < 75 ? std::min<size_t>(copy.size(), 4 * 4096) : copy.size();
    for (int hit = 0; hit < 1 + trial % 8; ++hit) {
      copy[random() % span] = static_cast<uint8_t>(random());
    }
    if (!ReadEverything(std::move(copy))) ++failures;
  }
  RecordProperty("failures", static_cast<int>(failures));
}

TEST_P(DamagedCopyTest, PagesOfTheWrongTypeAreNamed) {
  VINTREL_REQUIRE_FIXTURES();
  std::vector<uint8_t> copy = ReadAll(GetParam());
  const size_t page_size = copy[kVersionOffset] == 0 ? 2048 : 4096;
  copy[kCatalogPage * page_size] = 0x07;  // the catalog's definition page
  try {
    Database::OpenBytes(copy, "x.mdb")->ReadCatalog();
    ADD_FAILURE() << "read a catalog with a bad page type";
  } catch (const JetError& error) {
    EXPECT_NE(std::string(error.what()).find("at page 2"), std::string::npos) << error.what();
  }
}

std::vector<std::string> SmallFixtures() {
  std::vector<std::string> files;
  for (const std::string& file : testing::FixtureFiles({"jet4", "jet3"})) {
    if (std::filesystem::file_size(file) <= 300 * 1024) files.push_back(file);
  }
  if (files.empty()) files.push_back("(corpus absent)");
  return files;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedCopyTest, ::testing::ValuesIn(SmallFixtures()),
                         testing::FileTestName);

}  // namespace
}  // namespace vintrel::jet
