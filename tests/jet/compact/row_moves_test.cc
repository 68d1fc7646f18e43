// Row moves translate the same way whether they fit in memory or were spilled to disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "jet/compact/row_moves.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

// In memory, spilled in runs of 7 pairs, and spilled with every pair a run of its own.
class RowMovesTest : public ::testing::TestWithParam<size_t> {
 protected:
  testing::ScratchDirectory dir_;
  RowMoves moves_{dir_.Path(""), GetParam()};
};

TEST_P(RowMovesTest, TranslatesEveryMovedRowInAnyOrder) {
  // Source pointers in the shuffled order a primary-key walk visits them.
  std::vector<uint32_t> sources(1000);
  for (uint32_t i = 0; i < sources.size(); ++i) sources[i] = (i / 40 + 10) << 8 | (i % 40);
  std::shuffle(sources.begin(), sources.end(), std::mt19937(7));
  for (uint32_t i = 0; i < sources.size(); ++i) moves_.Add(sources[i], 0x100000 + i);
  moves_.Sort();
  EXPECT_FALSE(moves_.repeated_source());
  EXPECT_EQ(moves_.size(), sources.size());

  std::vector<uint32_t> asked = {sources[500], sources[3], sources[999], sources[0], sources[3]};
  ASSERT_FALSE(moves_.Translate(asked));
  EXPECT_EQ(asked, (std::vector<uint32_t>{0x100000 + 500, 0x100003, 0x100000 + 999, 0x100000, 0x100003}));
  std::vector<uint32_t> all = sources;
  ASSERT_FALSE(moves_.Translate(all));
  for (uint32_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], 0x100000 + i);
}

TEST_P(RowMovesTest, NamesARowTakenTwiceAndARowNeverMoved) {
  for (uint32_t i = 0; i < 20; ++i) moves_.Add(i * 2, i);
  moves_.Add(14, 99);
  moves_.Sort();
  EXPECT_EQ(moves_.repeated_source(), std::optional<uint32_t>(14));
  std::vector<uint32_t> asked = {4, 5};
  EXPECT_EQ(moves_.Translate(asked), std::optional<uint32_t>(5));
  std::vector<uint32_t> beyond = {1000};
  EXPECT_EQ(moves_.Translate(beyond), std::optional<uint32_t>(1000));
}

// Spill files have no name on Linux; on Windows they go when they are closed.
TEST_P(RowMovesTest, LeavesNoFileBehind) {
  {
    RowMoves moves(dir_.Path(""), GetParam());
    for (uint32_t i = 0; i < 50; ++i) moves.Add(50 - i, i);
    moves.Sort();
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path("")));
}

INSTANTIATE_TEST_SUITE_P(Budgets, RowMovesTest, ::testing::Values(size_t{1} << 20, size_t{7}, size_t{1}));

}  // namespace
}  // namespace vintrel::jet
