// A summary of a database's content that does not depend on where anything is stored:
// per table, its row count and an order-independent checksum of every row's values, long
// values included. The compaction sums the source's rows as it copies them and compares
// that with the digest of the copy read back, before it hands the copy over.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "jet/compact/renumbering.h"
#include "jet/database.h"
#include "jet/table_reader.h"

struct XXH3_state_s;

namespace vintrel::jet {

struct TableDigest {
  uint64_t rows = 0;
  uint64_t checksum = 0;
  bool operator==(const TableDigest&) const = default;
};

using ContentDigest = std::map<std::u16string, TableDigest>;

// With `renumbering`, object ids are summed as the copy stores them.
ContentDigest DigestContent(Database& database, const Renumbering* renumbering = nullptr);

// A row's hash over its fields' stored bytes.
uint64_t RowHash(const std::vector<Field>& fields);

// What DigestContent adds for one row: RowHash with text and memo values taken as UTF-16,
// so that how a database stores text (a code page, UCS-2 or its compressed form) does not
// count, only the characters; the catalog's Jet 3 property lists count in their Jet 4 form
// for the same reason. Raises for text holding a byte its code page leaves undefined, whose
// characters are not known.
//
// A long value given by reference is read from its pages as it is hashed, piece by piece
// where its bytes count as stored: XXH3's streaming form gives the hash of the whole value,
// so the hash does not depend on how the value is cut into rows or whether the row holds it.
class RowHasher {
 public:
  // For rows DecodeRow reads from `database`, long values whole or by reference.
  RowHasher(const TableDefinition& table, Database& database);
  // For rows held whole in memory.
  RowHasher(const TableDefinition& table, const TextEncoding& text);
  ~RowHasher();
  RowHasher(const RowHasher&) = delete;
  RowHasher& operator=(const RowHasher&) = delete;

  // Raises a DamagedError for a long value that cannot be read.
  uint64_t Hash(const std::vector<Field>& fields);

 private:
  uint64_t HashValue(uint64_t hash, size_t column, const Field& field, std::span<const uint8_t> bytes);
  uint64_t HashLongValue(uint64_t hash, size_t column, const Field& field);

  const TextEncoding& text_;
  PageCache* pages_ = nullptr;
  const Format* format_ = nullptr;
  std::vector<bool> is_text_;  // per column
  std::vector<bool> is_property_list_;
  std::vector<uint8_t> converted_;
  std::vector<uint8_t> whole_;
  std::u16string decoded_;
  XXH3_state_s* state_;
};

// Where the live rows of a page are already counted: by page number, kNotCounted for pages
// not counted yet.
using LiveRowCounts = std::vector<uint16_t>;
inline constexpr uint16_t kNotCounted = UINT16_MAX;

// The live rows a storage-order scan of the table finds (of its map's pages, or of
// `listed_pages`), counted without decoding them; the pages `counted` holds counts of are
// not read again.
uint64_t CountLiveRows(Database& database, const TableDefinition& table,
                       const std::vector<uint32_t>* listed_pages = nullptr, const LiveRowCounts* counted = nullptr);
// The live rows of `page`.
uint16_t LiveRows(const DataPage& page);

// Raises, naming `source` and the first table that differs, when the digests differ.
void RequireSameContent(const ContentDigest& source, const ContentDigest& copy,
                        const std::string& source_path);

}  // namespace vintrel::jet
