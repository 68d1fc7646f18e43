// Index entries come out in byte order whether they stayed in memory or were spilled in runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "jet/compact/entry_sorter.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

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
    testing::ScratchDirectory dir;
    EntrySorter sorter(dir.Path(""), budget);
    for (const auto& entry : entries) sorter.Add(entry);
    std::vector<std::vector<uint8_t>> taken;
    sorter.Drain([&taken](std::span<const uint8_t> entry) { taken.emplace_back(entry.begin(), entry.end()); });
    EXPECT_EQ(taken, expected) << "memory budget " << budget;
  }
}

}  // namespace
}  // namespace vintrel::jet
