// Index entries (byte strings) put in byte order, for the indexes whose keys a conversion
// computes from the rows, which come in row order: a SpillingSorter of ByteStrings.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "jet/compact/spilling_sorter.h"

namespace vintrel::jet {

// Byte strings in byte order, held end to end and written each after its 2-byte length.
class ByteStrings {
 public:
  using Record = std::span<const uint8_t>;

  static constexpr size_t kLongest = UINT16_MAX;
  static constexpr size_t kSizeBytes = 2;
  static size_t WrittenSize(const uint8_t* written) {
    uint16_t length;
    std::memcpy(&length, written, kSizeBytes);
    return kSizeBytes + length;
  }
  static Record Read(const uint8_t* written) { return Record(written + kSizeBytes, WrittenSize(written) - kSizeBytes); }
  static void Write(Record record, std::vector<uint8_t>& out);
  static bool Less(Record a, Record b) { return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end()); }

  // Refuses a string longer than kLongest.
  void Hold(Record record);
  size_t held_bytes() const { return bytes_.size() + entries_.size() * sizeof(entries_[0]); }
  bool empty() const { return entries_.empty(); }
  void Sort();
  template <class Take>
  void ForEach(Take take) const {
    for (const auto& [at, size] : entries_) take(Record(bytes_).subspan(at, size));
  }
  // Empties the strings, keeping their memory for the next run.
  void Clear();

 private:
  std::vector<uint8_t> bytes_;                      // the strings end to end
  std::vector<std::pair<size_t, size_t>> entries_;  // offset and size in bytes_
};

using EntrySorter = SpillingSorter<ByteStrings>;

// The memory for the entries a copy computes from one table's rows, shared by its indexes:
// 16 MB, or what a ComputedEntriesMemoryForTesting sets.
size_t ComputedEntriesMemory();

// Sets ComputedEntriesMemory while it lives, for the tests that make a small table spill.
class ComputedEntriesMemoryForTesting {
 public:
  explicit ComputedEntriesMemoryForTesting(size_t bytes);
  ~ComputedEntriesMemoryForTesting();
  ComputedEntriesMemoryForTesting(const ComputedEntriesMemoryForTesting&) = delete;
  ComputedEntriesMemoryForTesting& operator=(const ComputedEntriesMemoryForTesting&) = delete;
};

}  // namespace vintrel::jet
