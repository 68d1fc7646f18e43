#include "jet/compact/content_digest.h"

// Long values are hashed in pieces of up to a page: on x86, through the dispatch of the system's
// library where it is linked (VINTREL_XXHASH_LIBRARY), which picks the widest vector unit at
// run time (AVX2 rather than SSE2). Short values are hashed directly: through the dispatch
// their many calls cost more than it saves.
#if defined(VINTREL_XXHASH_LIBRARY) && (defined(__x86_64__) || defined(__i386__))
#define VINTREL_XXHASH_DISPATCH 1
#define XXH_DISPATCH_DISABLE_REPLACE 1
#include <xxh_x86dispatch.h>
#else
#define VINTREL_XXHASH_DISPATCH 0
#include <xxhash.h>
#endif

#include <new>

#include "jet/compact/property_list.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/long_value.h"
#include "jet/pages/usage_map.h"
#include "jet/table_reader.h"
#include "text/utf.h"

namespace vintrel::jet {

namespace {

// Each field's hash seeds the next one's, so that the fields' order and where one field's
// bytes end count as well as the bytes; XXH3 counts the length of each.
uint64_t Seed(uint64_t hash, const Field& field) {
  return hash ^ ((field.null ? 1u : 0u) | (field.flag ? 2u : 0u));
}

uint64_t AddField(uint64_t hash, const Field& field, const void* bytes, size_t size) {
  return XXH3_64bits_withSeed(bytes, size, Seed(hash, field));
}

void AddLongValuePiece(XXH3_state_t* state, std::span<const uint8_t> piece) {
#if VINTREL_XXHASH_DISPATCH
  XXH3_64bits_update_dispatch(state, piece.data(), piece.size());
#else
  XXH3_64bits_update(state, piece.data(), piece.size());
#endif
}

}  // namespace

uint64_t RowHash(const std::vector<Field>& fields) {
  uint64_t hash = 0;
  for (const Field& field : fields) hash = AddField(hash, field, field.bytes.data(), field.bytes.size());
  return hash;
}

RowHasher::RowHasher(const TableDefinition& table, const TextEncoding& text)
    : text_(text), state_(XXH3_createState()) {
  if (state_ == nullptr) throw std::bad_alloc();
  for (const Column& column : table.columns) {
    is_text_.push_back(column.holds_text());
    is_property_list_.push_back(HoldsPropertyLists(table, column));
  }
}

RowHasher::RowHasher(const TableDefinition& table, Database& database) : RowHasher(table, database.text()) {
  pages_ = &database.pages();
  format_ = &database.format();
}

RowHasher::~RowHasher() { XXH3_freeState(state_); }

uint64_t RowHasher::Hash(const std::vector<Field>& fields) {
  uint64_t hash = 0;
  for (size_t c = 0; c < fields.size(); ++c) {
    const Field& field = fields[c];
    hash = field.by_reference ? HashLongValue(hash, c, field) : HashValue(hash, c, field, field.bytes);
  }
  return hash;
}

uint64_t RowHasher::HashValue(uint64_t hash, size_t c, const Field& field, std::span<const uint8_t> bytes) {
  // Only a Jet 3 source's lists are converted; a Jet 4 file's are copied as they are.
  if (is_property_list_[c] && !text_.unicode() && !field.null && IsJet3PropertyList(bytes)) {
    converted_ = Jet4PropertyList(bytes, text_);
    return AddField(hash, field, converted_.data(), converted_.size());
  }
  // Uncompressed Jet 4 text is UTF-16 as stored.
  if (field.null || !is_text_[c] || (text_.unicode() && !IsCompressedJet4Text(bytes))) {
    return AddField(hash, field, bytes.data(), bytes.size());
  }
  decoded_ = text_.DecodeExactly(bytes);
  return AddField(hash, field, decoded_.data(), decoded_.size() * sizeof(char16_t));
}

uint64_t RowHasher::HashLongValue(uint64_t hash, size_t c, const Field& field) {
  if (pages_ == nullptr) throw JetError("A long value held by reference has no pages to be read from.");
  LongValuePieces pieces(*pages_, *format_, ByteView(field.bytes, "long value", 0));
  std::span<const uint8_t> piece;
  pieces.Next(piece);
  // Text whose bytes do not count as stored (a code page's, or compressed) is decoded whole;
  // so is a value whose first piece is too short to tell.
  const bool as_stored = is_text_[c] ? text_.unicode() && !IsCompressedJet4Text(piece) &&
                                           (piece.size() >= 2 || piece.size() == pieces.length())
                                     : !is_property_list_[c] || text_.unicode();
  if (!as_stored) {
    whole_.assign(piece.begin(), piece.end());
    while (pieces.Next(piece)) whole_.insert(whole_.end(), piece.begin(), piece.end());
    return HashValue(hash, c, field, whole_);
  }
  XXH3_64bits_reset_withSeed(state_, Seed(hash, field));
  do {
    AddLongValuePiece(state_, piece);
  } while (pieces.Next(piece));
  return XXH3_64bits_digest(state_);
}

uint16_t LiveRows(const DataPage& page) {
  uint16_t live = 0;
  for (uint16_t row = 0; row < page.row_count(); ++row) live += !page.Row(row).deleted;
  return live;
}

uint64_t CountLiveRows(Database& database, const TableDefinition& table,
                       const std::vector<uint32_t>* listed_pages, const LiveRowCounts* counted) {
  DataPageWalk walk(database.pages(), database.format(), table, listed_pages);
  uint64_t rows = 0;
  while (std::optional<uint32_t> page = walk.NextListed()) {
    if (counted && *page < counted->size() && (*counted)[*page] != kNotCounted) {
      rows += (*counted)[*page];
    } else if (std::optional<DataPage> data = walk.Read(*page)) {
      rows += LiveRows(*data);
    }
  }
  return rows;
}

ContentDigest DigestContent(Database& database, const Renumbering* renumbering) {
  ContentDigest digest;
  std::vector<Field> fields;
  for (const CatalogEntry& entry : database.ReadCatalog()) {
    if (entry.type != kCatalogLocalTable) continue;
    TableDefinition table = database.ReadTable(entry.definition_page());
    TableReader reader(database.pages(), database.format(), table, nullptr, LongValues::kByReference);
    TableDigest& summary = digest[entry.name];
    RowHasher hasher(table, database);
    std::vector<size_t> id_columns;
    if (renumbering) id_columns = renumbering->IdColumns(entry.name, table);
    while (reader.Next(fields)) {
      if (renumbering) renumbering->RenumberIds(id_columns, fields);
      ++summary.rows;
      summary.checksum += hasher.Hash(fields);
    }
  }
  return digest;
}

void RequireSameContent(const ContentDigest& source, const ContentDigest& copy,
                        const std::string& source_path) {
  const std::string prefix = "The compacted copy of '" + source_path + "' ";
  if (source.size() != copy.size()) {
    throw JetError(prefix + "has " + std::to_string(copy.size()) + " tables where the database has " +
                   std::to_string(source.size()) + ".");
  }
  for (const auto& [name, summary] : source) {
    auto found = copy.find(name);
    if (found == copy.end()) {
      throw JetError(prefix + "lacks table " + ToUtf8(name) + ".");
    }
    if (found->second.rows != summary.rows) {
      throw JetError(prefix + "has " + std::to_string(found->second.rows) + " rows in table " +
                     ToUtf8(name) + " where the database has " + std::to_string(summary.rows) + ".");
    }
    if (found->second.checksum != summary.checksum) {
      throw JetError(prefix + "differs from it in the values of table " + ToUtf8(name) + ".");
    }
  }
}

}  // namespace vintrel::jet
