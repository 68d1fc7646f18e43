// Index entries come out in byte order whether they stayed in memory or were spilled in runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "fixtures.h"
#include "jet/compact/compact_database.h"
#include "jet/compact/entry_sorter.h"
#include "jet/jet_error.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

using testing::ScratchDirectory;

std::vector<std::vector<uint8_t>> Drained(EntrySorter& sorter) {
  std::vector<std::vector<uint8_t>> taken;
  sorter.Drain([&taken](std::span<const uint8_t> entry) { taken.emplace_back(entry.begin(), entry.end()); });
  return taken;
}

TEST(EntrySorterTest, GivesEveryEntryInByteOrderInMemoryAndFromSpilledRuns) {
  // Entries of varied lengths, with duplicates and entries that are prefixes of others.
  std::mt19937 random(11);
  std::vector<std::vector<uint8_t>> entries;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> entry(1 + random() % 40);
    for (uint8_t& byte : entry) byte = static_cast<uint8_t>(random() % 4);
    entries.push_back(entry);
    if (i % 10 == 0) entries.push_back(entry);
    if (i % 7 == 0) entries.emplace_back(entry.begin(), entry.begin() + 1);
  }
  std::vector<std::vector<uint8_t>> expected = entries;
  std::sort(expected.begin(), expected.end());
  for (size_t budget : {size_t{1} << 20, size_t{500}, size_t{1}}) {
    ScratchDirectory dir;
    EntrySorter sorter(dir.Path(""), budget);
    for (const auto& entry : entries) sorter.Add(entry);
    EXPECT_EQ(Drained(sorter), expected) << "memory budget " << budget;
  }
}

// Its entries for the indexes of testIndexCodesV1997 spill in dozens of runs under 4 KB.
TEST(EntrySorterTest, ConversionWhoseEntriesSpillWritesTheCopyMadeInMemory) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  const std::string source = dir.Path("source.mdb");
  std::filesystem::copy_file(testing::FixturesRoot() / "jet3" / "testIndexCodesV1997.mdb", source);
  CompactDatabase(source, dir.Path("in_memory.mdb"));
  {
    ComputedEntriesMemoryForTesting small(4096);
    CompactDatabase(source, dir.Path("spilled.mdb"));
  }
  const std::vector<uint8_t> in_memory = testing::ReadBytes(dir.Path("in_memory.mdb"));
  const std::vector<uint8_t> spilled = testing::ReadBytes(dir.Path("spilled.mdb"));
  ASSERT_EQ(spilled.size(), in_memory.size());
  // Page 0 holds the time of the conversion.
  constexpr size_t kPage = 4096;
  const auto differ = std::mismatch(in_memory.begin() + kPage, in_memory.end(), spilled.begin() + kPage);
  EXPECT_EQ(differ.first, in_memory.end()) << "first difference at byte " << differ.first - in_memory.begin();
}

TEST(EntrySorterTest, TakesTheLongestEntryThroughARunAndRefusesALongerOne) {
  ScratchDirectory dir;
  EntrySorter sorter(dir.Path(""), 1);
  std::vector<uint8_t> longest(ByteStrings::kLongest, 0xAB);
  longest.back() = 0xCD;
  const std::vector<uint8_t> short_entry = {0x01};
  sorter.Add(longest);
  sorter.Add(short_entry);
  EXPECT_THROW(sorter.Add(std::vector<uint8_t>(ByteStrings::kLongest + 1)), UnsupportedError);
  EXPECT_EQ(Drained(sorter), (std::vector<std::vector<uint8_t>>{short_entry, longest}));
}

// The descriptor of the one scratch file open in `dir`.
int ScratchFileIn(const ScratchDirectory& dir) {
  const std::string prefix = dir.Path(""), suffix = " (deleted)";
  for (const auto& link : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(link, error).string();
    if (!error && target.starts_with(prefix) && target.ends_with(suffix)) return std::stoi(link.path().filename());
  }
  return -1;
}

TEST(EntrySorterTest, ReportsARunFileCutShort) {
  ScratchDirectory dir;
  EntrySorter sorter(dir.Path(""), 100);
  for (int i = 0; i < 1000; ++i) sorter.Add(std::vector<uint8_t>{static_cast<uint8_t>(i % 251), 0, 0, 0, 1});
  const int file = ScratchFileIn(dir);
  ASSERT_GE(file, 0);
  ASSERT_EQ(::ftruncate(file, ::lseek(file, 0, SEEK_END) / 2), 0);
  try {
    Drained(sorter);
    FAIL() << "the entries of the lost half were not missed";
  } catch (const JetError& e) {
    EXPECT_NE(std::string(e.what()).find("ended early"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace vintrel::jet
