// Where each row of a table went in the copy: source row pointer to copy row pointer, for
// rebuilding the table's indexes. The pairs go through a SpillingSorter: beyond its budget
// they are spilled in sorted runs and merged once into a sorted file beside the copy, so
// memory stays bounded whatever the size of the table.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/compact/spilling_sorter.h"

namespace vintrel::jet {

class RowMoves {
 public:
  // 1 M pairs (8 MB) in memory by default: a compaction's peak memory stays under 40 MB
  // whatever the size of its tables, and scanning the merged file per batch of entries
  // measured no slower than looking pairs up in 32 MB of memory (4 M rows).
  static constexpr size_t kDefaultMemoryPairs = size_t{1} << 20;

  // Spill files go into `directory`.
  explicit RowMoves(std::string directory, size_t memory_pairs = kDefaultMemoryPairs);
  RowMoves(const RowMoves&) = delete;
  RowMoves& operator=(const RowMoves&) = delete;

  void Add(uint32_t from, uint32_t to);
  // Puts the pairs in order of source pointer, for Translate; called once all are added.
  void Sort();
  // A source pointer that was added twice, if any; known once sorted.
  std::optional<uint32_t> repeated_source() const { return repeated_source_; }
  uint64_t size() const { return count_; }

  // Replaces each source pointer in `pointers` by its new pointer; returns the first one
  // that no row moved from, if any (then `pointers` is left partly translated).
  std::optional<uint32_t> Translate(std::vector<uint32_t>& pointers);

 private:
  struct Pair {
    uint32_t from, to;
    friend auto operator<=>(const Pair&, const Pair&) = default;
  };
  using Pairs = FixedSizeRecords<Pair>;

  SpillingSorter<Pairs> sorter_;
  uint64_t count_ = 0;
  std::optional<uint32_t> repeated_source_;
  std::span<const Pair> in_memory_;  // every pair in order, when none was spilled
  RunFile sorted_;                   // every pair in order, once spilled runs are merged
};

}  // namespace vintrel::jet
