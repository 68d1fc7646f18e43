// A summary of a database's content that does not depend on where anything is stored:
// per table, its row count and an order-independent checksum of every row's values, long
// values included. The compaction compares the digests of source and copy before it
// hands the copy over.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "jet/database.h"
#include "jet/write/renumbering.h"

namespace vintrel::jet {

struct TableDigest {
  uint64_t rows = 0;
  uint64_t checksum = 0;
  bool operator==(const TableDigest&) const = default;
};

using ContentDigest = std::map<std::u16string, TableDigest>;

// With `renumbering`, object ids are summed as the copy stores them.
ContentDigest DigestContent(Database& database, const Renumbering* renumbering = nullptr);

// Raises, naming `source` and the first table that differs, when the digests differ.
void RequireSameContent(const ContentDigest& source, const ContentDigest& copy,
                        const std::string& source_path);

}  // namespace vintrel::jet
