// A conversion computes its index keys anew from the values, and Jet 4's keys can make one of
// what Jet 3's kept apart (the two sort orders weigh characters differently), as can a source
// whose index is not what its values say. A unique index whose computed entries hold one key
// twice is refused: Jet would count the two as one entry, and find only one of the rows.
// Entries whose key columns are all null may repeat, as Jet allows any number of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "jet/compact/copy_context.h"

namespace vintrel::jet {

// Watches the computed entries of one real index of the copy, as they come in byte order.
class UniqueKeyCheck {
 public:
  UniqueKeyCheck(const CopyContext& copy, size_t index);

  // `entry` is a key and its 4-byte row pointer. Raises an UnsupportedError naming the
  // table, the index and the values of two rows when a unique index's entry repeats the key
  // of the one before it.
  void Take(std::span<const uint8_t> entry);

 private:
  const CopyContext& copy_;
  size_t index_;
  bool unique_;
  std::optional<std::vector<uint8_t>> null_key_;  // of a row whose key columns are all null
  std::optional<std::vector<uint8_t>> previous_;
};

}  // namespace vintrel::jet
