// Where each row of a table went in the copy: source row pointer to copy row pointer, for
// rebuilding the table's indexes. Pairs are kept in memory up to a budget; beyond it they
// are spilled in sorted runs to an unnamed file beside the copy and merged into one sorted
// file, so memory stays bounded whatever the size of the table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jet/io/file_io.h"

namespace vintrel::jet {

class RowMoves {
 public:
  // 1 M pairs (8 MB) in memory by default: a compaction's peak memory stays near 50 MB
  // whatever the size of its tables, and scanning the merged file per batch of entries
  // measured no slower than looking pairs up in 32 MB of memory (4 M rows).
  static constexpr size_t kDefaultMemoryPairs = size_t{1} << 20;

  // Spill files go into `directory`.
  explicit RowMoves(std::string directory, size_t memory_pairs = kDefaultMemoryPairs);
  RowMoves(const RowMoves&) = delete;
  RowMoves& operator=(const RowMoves&) = delete;

  void Add(uint32_t from, uint32_t to);
  // Orders the pairs for translation; returns a source pointer that was added twice, if any.
  std::optional<uint32_t> Seal();
  uint64_t size() const { return count_; }

  // Replaces each source pointer in `pointers` by its new pointer; returns the first one
  // that no row moved from, if any (then `pointers` is left partly translated).
  std::optional<uint32_t> Translate(std::vector<uint32_t>& pointers);

 private:
  using Pair = std::pair<uint32_t, uint32_t>;

  void SpillRun();
  void WritePairs(const Descriptor& file, const Pair* pairs, size_t count, uint64_t at);
  size_t ReadPairs(const Descriptor& file, Pair* pairs, size_t count, uint64_t at) const;
  std::string ScratchSubject() const;

  std::string directory_;
  size_t memory_pairs_;
  std::vector<Pair> memory_;
  uint64_t count_ = 0;
  Descriptor runs_file_;
  std::vector<std::pair<uint64_t, uint64_t>> runs_;  // (first pair, pair count) in runs_file_
  Descriptor sorted_;  // every pair in order, once spilled runs are merged
};

}  // namespace vintrel::jet
