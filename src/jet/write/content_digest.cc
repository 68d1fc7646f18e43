#include "jet/write/content_digest.h"

#include "jet/jet_error.h"
#include "jet/table_reader.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

// FNV-1a, then a final mix so that summing row hashes does not cancel patterns.
uint64_t RowHash(const std::vector<Field>& fields) {
  uint64_t hash = 0xCBF29CE484222325ULL;
  auto mix = [&hash](uint8_t byte) {
    hash ^= byte;
    hash *= 0x100000001B3ULL;
  };
  for (const Field& field : fields) {
    mix(field.null ? 1 : 0);
    mix(field.flag ? 1 : 0);
    for (size_t i = 0; i < 8; ++i) mix(static_cast<uint8_t>(field.bytes.size() >> (8 * i)));
    for (uint8_t byte : field.bytes) mix(byte);
  }
  hash ^= hash >> 33;
  hash *= 0xFF51AFD7ED558CCDULL;
  hash ^= hash >> 33;
  return hash;
}

}  // namespace

ContentDigest DigestContent(Database& database, const Renumbering* renumbering) {
  ContentDigest digest;
  std::vector<Field> fields;
  for (const CatalogEntry& entry : database.ReadCatalog()) {
    if (entry.type != kCatalogLocalTable) continue;
    TableDefinition table = database.ReadTable(entry.definition_page());
    TableReader reader(database.pages(), database.format(), table);
    TableDigest& summary = digest[entry.name];
    std::vector<size_t> id_columns;
    if (renumbering) id_columns = renumbering->IdColumns(entry.name, table);
    while (reader.Next(fields)) {
      for (size_t c : id_columns) {
        Field& field = fields[c];
        if (field.null || field.bytes.size() != 4) continue;
        ByteView view(field.bytes, "data page", entry.definition_page());
        uint32_t renewed = static_cast<uint32_t>(renumbering->NewId(static_cast<int32_t>(view.U32(0))));
        for (size_t i = 0; i < 4; ++i) field.bytes[i] = static_cast<uint8_t>(renewed >> (8 * i));
      }
      ++summary.rows;
      summary.checksum += RowHash(fields);
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
