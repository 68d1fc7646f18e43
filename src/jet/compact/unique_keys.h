// A conversion computes its index keys anew from the values, and Jet 4's keys can make one of
// what Jet 3's kept apart (the two sort orders weigh characters differently, and Jet 4 leaves
// out trailing spaces). A converted unique index that would hold one key twice is refused:
// Jet would count the two as one entry, and find only one of the rows. (In a database that
// is not converted, two rows with one key in a unique index are damage: lost_rows.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "jet/compact/copy_context.h"

namespace vintrel::jet {

// Raises an UnsupportedError naming the table, the unique index and the values of the two
// converted rows that share `key` in it, read again from the source.
[[noreturn]] void RaiseRepeatedKey(const CopyContext& copy, size_t index, std::span<const uint8_t> key);

}  // namespace vintrel::jet
