// Index entries (byte strings) put in byte order, for the indexes whose keys a conversion
// computes from the rows, which come in row order. Entries are kept in memory up to a
// budget; beyond it they are spilled in sorted runs to an unnamed file beside the copy and
// merged as they are taken, so memory stays bounded whatever the size of the table.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "jet/io/file_io.h"

namespace vintrel::jet {

class EntrySorter {
 public:
  // Spill files go into `directory`.
  EntrySorter(std::string directory, size_t memory_bytes);
  EntrySorter(EntrySorter&&) noexcept = default;
  EntrySorter& operator=(EntrySorter&&) noexcept = default;

  void Add(std::span<const uint8_t> entry);
  // Hands every entry to `take` in byte order, equal entries included, and empties the sorter.
  void Drain(const std::function<void(std::span<const uint8_t>)>& take);

 private:
  void SortMemory();
  void SpillRun();
  std::string ScratchSubject() const;

  std::string directory_;
  size_t memory_bytes_;
  std::vector<uint8_t> bytes_;                     // entries end to end
  std::vector<std::pair<size_t, size_t>> entries_;  // offset and size in bytes_
  Descriptor runs_file_;
  std::vector<std::pair<uint64_t, uint64_t>> runs_;  // (offset, bytes) in runs_file_
};

}  // namespace vintrel::jet
