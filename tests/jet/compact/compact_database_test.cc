// The whole compaction over the corpus, and over inputs it must refuse.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <span>

#include "fixtures.h"
#include "jet/compact/compact_database.h"
#include "jet/compact/content_digest.h"
#include "jet/database.h"
#include "jet/coding.h"
#include "jet/io/page_output.h"
#include "jet/jet_error.h"
#include "jet/keys/index_key.h"
#include "jet/rc4.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

using testing::FixtureFiles;
using testing::ReadBytes;
using testing::ScratchDirectory;
using testing::WriteBytes;

std::string ErrorOf(const std::string& source, const std::string& destination) {
  try {
    CompactDatabase(source, destination);
  } catch (const JetError& error) {
    return error.what();
  }
  return "";
}

class CompactCorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CompactCorpusTest, CopyHoldsTheSameContentInNoMorePagesAndIsAFixedPoint) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  // A private copy of the source: a compaction locks its source, and tests run in parallel.
  const std::string source_path = dir.Path("source.mdb");
  std::filesystem::copy_file(GetParam(), source_path);
  const std::vector<uint8_t> before = ReadBytes(source_path);
  const std::string once = dir.Path("once.mdb"), twice = dir.Path("twice.mdb");
  CompactionFigures figures = CompactDatabase(source_path, once);
  EXPECT_EQ(ReadBytes(source_path), before) << "the source is never written";
  EXPECT_EQ(figures.copy_pages * 4096ull, std::filesystem::file_size(once));

  auto source = Database::Open(source_path);
  auto copy = Database::Open(once);
  EXPECT_EQ(copy->format().version, Version::kJet4);
  // A Jet 3 source's copy has pages twice the size.
  EXPECT_LE(figures.copy_pages, figures.source_pages);
  if (source->format().version == Version::kJet4) {
    EXPECT_LE(std::filesystem::file_size(once), before.size());
  }
  Renumbering renumbering(source->ReadCatalog());
  EXPECT_EQ(DigestContent(*source, &renumbering), DigestContent(*copy));

  // Autonumber counters carry over, so numbers of deleted rows are never handed out again.
  std::map<std::u16string, uint32_t> counters;
  for (const CatalogEntry& entry : source->ReadCatalog()) {
    if (entry.type == kCatalogLocalTable) counters[entry.name] = source->ReadTable(entry.definition_page()).next_autonumber;
  }
  for (const CatalogEntry& entry : copy->ReadCatalog()) {
    if (entry.type != kCatalogLocalTable) continue;
    EXPECT_EQ(copy->ReadTable(entry.definition_page()).next_autonumber, counters[entry.name]);
    counters.erase(entry.name);
  }
  EXPECT_TRUE(counters.empty()) << "every table is in the copy";

  CompactDatabase(once, twice);
  EXPECT_EQ(ReadBytes(twice), ReadBytes(once)) << "a compacted copy compacts to itself";
}

// With the corpus absent, one placeholder case runs and reports the skip.
std::vector<std::string> CorpusFiles() {
  auto files = FixtureFiles({"jet4", "jet3"});
  if (files.empty()) files.push_back("corpus_absent");
  return files;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CompactCorpusTest, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) {
                           return std::filesystem::path(info.param).stem().string();
                         });

// Only the source and whatever the test put there remain: no destination, no temporary.
std::vector<std::string> Entries(const ScratchDirectory& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path(""))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The fixture is compacted in place (the refusals come before any lock matters), and
// must stay as it was, with nothing created.
void ExpectRefused(const std::string& fixture, const std::string& expected) {
  ScratchDirectory dir;
  const std::vector<uint8_t> before = ReadBytes(fixture);
  EXPECT_EQ(ErrorOf(fixture, dir.Path("copy.mdb")), expected);
  EXPECT_EQ(ReadBytes(fixture), before);
  EXPECT_TRUE(Entries(dir).empty());
}

TEST(CompactRefusalTest, NewerFormatsAndPasswordsAreRefusedWithTheirTexts) {
  VINTREL_REQUIRE_FIXTURES();
  for (const std::string& file : FixtureFiles({"ace"})) {
    ExpectRefused(file, "Unrecognized database format '" + file + "'.");
  }
  // The ace folder holds .accdb files, which FixtureFiles leaves out.
  for (const auto& entry : std::filesystem::directory_iterator(testing::FixturesRoot() / "ace")) {
    ExpectRefused(entry.path().string(), "Unrecognized database format '" + entry.path().string() + "'.");
  }
  for (const std::string& file : FixtureFiles({"password"})) ExpectRefused(file, "Not a valid password.");
}

TEST(CompactRefusalTest, MissingSourceAndExistingDestination) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  EXPECT_EQ(ErrorOf(dir.Path("absent.mdb"), dir.Path("copy.mdb")),
            "Could not find file '" + dir.Path("absent.mdb") + "'.");
  std::filesystem::copy_file(FixtureFiles({"jet4"}).front(), dir.Path("source.mdb"));
  WriteBytes(dir.Path("copy.mdb"), {1, 2, 3});
  EXPECT_EQ(ErrorOf(dir.Path("source.mdb"), dir.Path("copy.mdb")), "Database already exists.");
  EXPECT_EQ(ReadBytes(dir.Path("copy.mdb")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"copy.mdb", "source.mdb"}));
}

// Refused as the first page past the limit is asked for (2 GB in use; lower limits here, so
// that the copy need not be that large): a copy that fits exactly is written.
TEST(CompactRefusalTest, ACopyLargerThanTheFileLimitIsRefused) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  auto source = Database::Open((testing::FixturesRoot() / "jet4" / "testV2000.mdb").string());
  auto copy_pages = [&](const std::string& name, uint64_t max_bytes) {
    PageOutput output(testing::CreateFile(dir.Path(name)), dir.Path(name), 4096, max_bytes);
    return WriteCompactedCopy(*source, output).copy_pages;
  };
  const uint32_t pages = copy_pages("unbounded.mdb", kJet4MaxFileBytes);
  EXPECT_EQ(copy_pages("exact.mdb", uint64_t{pages} * 4096), pages);
  try {
    copy_pages("short.mdb", uint64_t{pages - 1} * 4096);
    ADD_FAILURE() << "a copy one page over its limit was written";
  } catch (const JetError& error) {
    const std::string what = error.what();
    EXPECT_TRUE(what.starts_with("The compacted copy '" + dir.Path("short.mdb") + "' would be larger than ")) << what;
    EXPECT_TRUE(what.ends_with(", the most a Jet 4 database can hold.")) << what;
  }
}

// Jet 3 fixtures made elsewhere: the header's sort order or code page replaced.
void WriteWithHeaderField(const std::string& fixture, size_t offset, uint16_t value,
                          const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(fixture);
  constexpr uint8_t kMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
  const std::span<uint8_t> masked(bytes.data() + kMaskedAreaOffset, kJet3Format.masked_area_size);
  ApplyRc4(kMaskKey, masked);
  PutU16(bytes, offset, value);
  ApplyRc4(kMaskKey, masked);
  WriteBytes(path, bytes);
}

// The first text column of table Table1 in testV1997.mdb with one field of its descriptor
// changed: `set` is given the descriptor's bytes.
void WriteWithTextColumn(const std::string& fixture, const std::function<void(uint8_t*)>& set,
                         const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(fixture);
  auto database = Database::OpenBytes(bytes, "testV1997.mdb");
  for (const CatalogEntry& entry : database->ReadCatalog()) {
    if (entry.name != u"Table1") continue;
    const TableDefinition table = database->ReadTable(entry.definition_page());
    const Column& text = *std::find_if(table.columns.begin(), table.columns.end(), [](const Column& c) {
      return c.type == static_cast<uint8_t>(ColumnType::kText);
    });
    const size_t page = size_t{table.page} * kJet3Format.page_size;
    const ByteView view(bytes, "table definition", table.page);
    for (size_t at = page; at + kJet3Format.column_entry_size <= page + kJet3Format.page_size; ++at) {
      if (bytes[at] == text.type && view.U16(at + kJet3Format.column_number) == text.number &&
          view.U16(at + kJet3Format.column_sort_order) == text.sort_order &&
          bytes[at + kJet3Format.column_flags] == text.flags) {
        set(&bytes[at]);
        WriteBytes(path, bytes);
        return;
      }
    }
  }
  FAIL() << "no text column descriptor in Table1";
}

// Refused before anything is written when the definitions tell (a sort order other than
// General, whose keys are the only ones known here; a text column of fixed length, whose
// doubled width would move the columns after it), while copying when only the text does
// (bytes that code page 932 leaves undefined): either way nothing is left.
TEST(CompactRefusalTest, JetThreeWithoutKnownKeysIsRefusedAndLeavesNothing) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  const std::string file = dir.Path("source.mdb");
  const std::string refused = "Converting the Jet 3 database '" + file + "' to the Jet 4 format is not supported: ";
  const std::filesystem::path jet3 = testing::FixturesRoot() / "jet3";
  WriteWithHeaderField(jet3 / "testV1997.mdb", kSortOrderOffsetJet3, 1041, file);
  const std::vector<uint8_t> before = ReadBytes(file);
  EXPECT_EQ(ErrorOf(file, dir.Path("copy.mdb")), refused + "its sort order 1041 is not General (1033).");
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"source.mdb"}));

  std::filesystem::remove(file);
  WriteWithTextColumn(jet3 / "testV1997.mdb", [](uint8_t* column) { column[kJet3Format.column_sort_order] = 0x11; },
                      file);
  EXPECT_EQ(ErrorOf(file, dir.Path("copy.mdb")), refused + "table Table1: column A has the text sort order 1041.");
  std::filesystem::remove(file);
  WriteWithTextColumn(jet3 / "testV1997.mdb", [](uint8_t* column) { column[kJet3Format.column_flags] |= kColumnFixedLength; },
                      file);
  EXPECT_EQ(ErrorOf(file, dir.Path("copy.mdb")), refused + "table Table1: column A is text of fixed length.");
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"source.mdb"}));

  std::filesystem::remove(file);
  WriteWithHeaderField(jet3 / "testIndexCodesV1997.mdb", kCodePageOffset, 932, file);
  const std::string undecodable = refused + "Text in code page 932 holds a byte the code page leaves undefined";
  EXPECT_EQ(ErrorOf(file, dir.Path("copy.mdb")).substr(0, undecodable.size()), undecodable);
  EXPECT_EQ(Entries(dir), (std::vector<std::string>{"source.mdb"}));
}

TEST(ContentComparisonTest, AnyDifferenceInTablesRowsOrValuesIsRefused) {
  const ContentDigest source = {{u"A", {3, 42}}, {u"B", {0, 0}}};
  EXPECT_NO_THROW(RequireSameContent(source, source, "s.mdb"));
  auto error = [&](const ContentDigest& copy) {
    try {
      RequireSameContent(source, copy, "s.mdb");
    } catch (const JetError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(error({{u"A", {3, 42}}}), "The compacted copy of 's.mdb' has 1 tables where the database has 2.");
  EXPECT_EQ(error({{u"A", {3, 42}}, {u"C", {0, 0}}}), "The compacted copy of 's.mdb' lacks table B.");
  EXPECT_EQ(error({{u"A", {2, 42}}, {u"B", {0, 0}}}),
            "The compacted copy of 's.mdb' has 2 rows in table A where the database has 3.");
  EXPECT_EQ(error({{u"A", {3, 43}}, {u"B", {0, 0}}}),
            "The compacted copy of 's.mdb' differs from it in the values of table A.");
}

TEST(ContentComparisonTest, RowHashesTellValuesNullsFlagsAndLengthsApart) {
  auto hash = [](bool null, bool flag, std::vector<uint8_t> bytes) {
    return RowHash({Field{null, flag, std::move(bytes)}});
  };
  const uint64_t base = hash(false, false, std::vector<uint8_t>(100, 7));
  EXPECT_NE(base, hash(true, false, std::vector<uint8_t>(100, 7)));
  EXPECT_NE(base, hash(false, true, std::vector<uint8_t>(100, 7)));
  EXPECT_NE(base, hash(false, false, std::vector<uint8_t>(101, 7)));
  std::vector<uint8_t> changed(100, 7);
  for (size_t at : {0u, 31u, 32u, 95u, 99u}) {
    changed[at] ^= 1;
    EXPECT_NE(base, hash(false, false, changed)) << "byte " << at;
    changed[at] ^= 1;
  }
  // Two fields are not one field holding both.
  EXPECT_NE(RowHash({Field{false, false, {1, 2}}, Field{false, false, {3}}}),
            RowHash({Field{false, false, {1}}, Field{false, false, {2, 3}}}));
}

// The check that stands between a wrong copy and the deleted source counts long values too:
// one byte changed on a long-value page changes its table's digest.
TEST(ContentComparisonTest, ALongValueOnItsOwnPageCounts) {
  VINTREL_REQUIRE_FIXTURES();
  std::vector<uint8_t> bytes = ReadBytes((testing::FixturesRoot() / "jet4" / "test2V2000.mdb").string());
  const ContentDigest before = DigestContent(*Database::OpenBytes(bytes, "test2V2000.mdb"));
  // Page 59 holds a long value of MSP_PROJECTS; the page's last byte is that value's last.
  bytes[59 * 4096 + 4095] ^= 1;
  const ContentDigest after = DigestContent(*Database::OpenBytes(bytes, "test2V2000.mdb"));
  EXPECT_NE(before.at(u"MSP_PROJECTS"), after.at(u"MSP_PROJECTS"));
}

// A compaction killed at any moment leaves the destination either absent or whole, and no

// No fixture holds a stale reference that a new table id takes, so one is made up here.
TEST(RenumberingTest, StaleReferencesNameNoObjectInTheCopy) {
  // Tables on pages 2, 4 and 10 move to 2, 3 and 4; 3 and 5 name nothing in the source.
  const Renumbering renumbering({{2, 0, u"MSysObjects", kCatalogLocalTable, 0},
                                 {4, 0, u"A", kCatalogLocalTable, 0},
                                 {10, 0, u"B", kCatalogLocalTable, 0},
                                 {0x0F000001, 0, u"Tables", 3, 0}});
  EXPECT_EQ(renumbering.NewId(4), 3);
  EXPECT_EQ(renumbering.NewId(10), 4);
  EXPECT_EQ(renumbering.NewId(0x0F000001), 0x0F000001);
  const std::set<int32_t> copy_ids = {2, 3, 4, 0x0F000001};
  const int32_t stale = renumbering.NewId(3);
  EXPECT_EQ(copy_ids.count(stale), 0u) << stale;
  EXPECT_NE(stale, renumbering.NewId(5)) << "distinct references stay distinct";
  EXPECT_EQ(renumbering.NewId(5), 5);
}

// A catalog key over (Type, ParentId descending, Id, Name): the ids are rewritten in place, and
// the key must be the one the renumbered row has.
TEST(RenumberingTest, RenumberedKeyIsTheKeyOfTheRenumberedRow) {
  const Renumbering renumbering({{2, 0, u"MSysObjects", kCatalogLocalTable, 0},
                                 {4, 0, u"A", kCatalogLocalTable, 0},
                                 {10, 0, u"B", kCatalogLocalTable, 0}});
  TableDefinition catalog{};
  auto column = [](std::u16string name, ColumnType type, uint16_t number) {
    return Column{std::move(name), static_cast<uint8_t>(type), number, 0, 0, 0, 0, kGeneralSortOrder, 0, 0, false};
  };
  catalog.columns = {column(u"Id", ColumnType::kLong, 0), column(u"ParentId", ColumnType::kLong, 1),
                     column(u"Type", ColumnType::kInteger, 2), column(u"Name", ColumnType::kText, 3)};
  const RealIndex index{{{2, true}, {1, false}, {0, true}, {3, true}}, 0, 0, 0};
  auto row = [](int32_t id, int32_t parent) {
    std::vector<Field> fields(4, Field{false, false, std::vector<uint8_t>(4)});
    PutU32(fields[0].bytes, 0, static_cast<uint32_t>(id));
    PutU32(fields[1].bytes, 0, static_cast<uint32_t>(parent));
    fields[2].bytes = {1, 0};
    fields[3].bytes = {'B', 0};
    return fields;
  };
  IndexKeyEncoder encoder(catalog, index);
  std::vector<uint8_t> key, expected;
  encoder.Encode(row(4, 10), key);
  encoder.Encode(row(3, 4), expected);
  ASSERT_NE(key, expected);
  renumbering.RenumberKey(catalog, index, renumbering.IdColumns(u"MSysObjects", catalog), key);
  EXPECT_EQ(key, expected);
}
// other file: the copy has no name until it is published.
TEST(CompactInterruptionTest, KilledCompactionLeavesNothingButTheSource) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  const std::string packed = (testing::FixturesRoot() / "generated" / "frag-small.mdb.gz").string();
  const std::string source = dir.Path("source.mdb");
  ASSERT_EQ(std::system(("gzip -dc '" + packed + "' > '" + source + "'").c_str()), 0);
  const std::vector<uint8_t> before = ReadBytes(source);

  for (int delay_ms : {0, 2, 5, 10, 20, 40, 80}) {
    const pid_t child = ::fork();
    if (child == 0) {
      CompactDatabase(source, dir.Path("copy.mdb"));
      ::_exit(0);
    }
    ::usleep(delay_ms * 1000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    std::vector<std::string> entries = Entries(dir);
    if (entries.size() == 2) {
      EXPECT_EQ(entries, (std::vector<std::string>{"copy.mdb", "source.mdb"})) << delay_ms << " ms";
      auto copy = Database::Open(dir.Path("copy.mdb"));
      auto original = Database::Open(source);
      Renumbering renumbering(original->ReadCatalog());
      EXPECT_EQ(DigestContent(*copy), DigestContent(*original, &renumbering));
      std::filesystem::remove(dir.Path("copy.mdb"));
    } else {
      EXPECT_EQ(entries, std::vector<std::string>{"source.mdb"}) << delay_ms << " ms";
    }
  }
  EXPECT_EQ(ReadBytes(source), before);
}

// Damaged copies of a real database: each fails with a description and leaves no copy.
class CompactDamageTest : public ::testing::Test {
 protected:
  void ExpectFailureWithoutCopy(const std::vector<uint8_t>& bytes) {
    ScratchDirectory dir;
    WriteBytes(dir.Path("damaged.mdb"), bytes);
    std::string error = ErrorOf(dir.Path("damaged.mdb"), dir.Path("copy.mdb"));
    EXPECT_NE(error.find(dir.Path("damaged.mdb")), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(dir.Path("damaged.mdb")), bytes);
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"damaged.mdb"}) << error;
  }
};

TEST_F(CompactDamageTest, TruncatedFilesFail) {
  VINTREL_REQUIRE_FIXTURES();
  std::vector<uint8_t> bytes = ReadBytes((testing::FixturesRoot() / "jet4" / "delTestV2000.mdb").string());
  for (size_t pages : {1u, 2u, 10u, 20u}) {
    ExpectFailureWithoutCopy(std::vector<uint8_t>(bytes.begin(), bytes.begin() + pages * 4096));
  }
}

// Definitions are what the rows are read by, so garbage there is refused, naming the file;
// garbage in what is derived from the rows (map rows, an index page) is rebuilt.
TEST_F(CompactDamageTest, GarbageInADefinitionIsRefusedAndInDerivedPagesRepaired) {
  VINTREL_REQUIRE_FIXTURES();
  std::vector<uint8_t> bytes = ReadBytes((testing::FixturesRoot() / "jet4" / "delTestV2000.mdb").string());
  for (uint32_t page : {2u, 6u, 7u, 17u}) {
    SCOPED_TRACE(page);
    std::vector<uint8_t> damaged = bytes;
    for (size_t i = 0; i < 4096; ++i) damaged[page * 4096 + i] = static_cast<uint8_t>(i * 131 + 7);
    if (page == 2 || page == 17) {
      ExpectFailureWithoutCopy(damaged);
      continue;
    }
    ScratchDirectory dir;
    WriteBytes(dir.Path("damaged.mdb"), damaged);
    EXPECT_FALSE(CompactDatabase(dir.Path("damaged.mdb"), dir.Path("copy.mdb")).repairs.empty());
  }
}

// A long value that cannot be read loses its row, as a row that does not read does: refused,
// or left out when salvaging. The row's long values are all read as it is hashed, before any
// of it is written, so the loss is the row alone.
TEST_F(CompactDamageTest, ARowWhoseLongValueCannotBeReadIsLost) {
  VINTREL_REQUIRE_FIXTURES();
  std::vector<uint8_t> bytes = ReadBytes((testing::FixturesRoot() / "jet4" / "test2V2000.mdb").string());
  // Page 59 holds a long value of the only row of MSP_PROJECTS.
  std::fill_n(bytes.begin() + 59 * 4096, 4096, 0);
  ScratchDirectory dir;
  WriteBytes(dir.Path("damaged.mdb"), bytes);
  const std::string refusal = ErrorOf(dir.Path("damaged.mdb"), dir.Path("refused.mdb"));
  EXPECT_NE(refusal.find("MSP_PROJECTS"), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("would lose those rows"), std::string::npos) << refusal;
  const CompactionFigures salvaged = CompactDatabase(dir.Path("damaged.mdb"), dir.Path("salvaged.mdb"), {.salvage = true});
  ASSERT_EQ(salvaged.losses.size(), 1u);
  EXPECT_EQ(salvaged.losses[0].table, u"MSP_PROJECTS");
  EXPECT_TRUE(salvaged.losses[0].row.has_value()) << "the row is lost, not its page";

  // Salvaged again, the first record of losses keeps its name and the new one takes the next.
  const CompactionFigures again =
      CompactDatabase(dir.Path("salvaged.mdb"), dir.Path("again.mdb"), {.salvage = true, .record_losses = true});
  EXPECT_EQ(again.content.at(u"MSysCompactError").rows, 1u);
  EXPECT_EQ(again.content.count(u"MSysCompactError2"), 1u);
}

}  // namespace
}  // namespace vintrel::jet
