// Opening reads the database header before anything else, so a foreign or password-protected
// file is refused before a page cache exists. Only Jet 3 text needs the header's code page. The
// catalog's columns are found by name rather than by position, and its numbers are read at
// whatever width (2 or 4 bytes) each column stores.
#include "jet/database.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "jet/io/file_io.h"
#include "jet/jet_error.h"
#include "jet/table_reader.h"

namespace vintrel::jet {
namespace {

int64_t SignedField(const Field& field) {
  if (field.null) return 0;
  ByteView view(field.bytes, "catalog", kCatalogPage);
  switch (field.bytes.size()) {
    case 2: return static_cast<int16_t>(view.U16(0));
    case 4: return static_cast<int32_t>(view.U32(0));
    default: view.Fail("a catalog number has " + std::to_string(field.bytes.size()) + " bytes");
  }
}

}  // namespace

Database::Database(std::unique_ptr<PageSource> source, const std::string& path)
    : source_(std::move(source)), header_(ReadDatabaseHeader(*source_, path)) {
  if (header_.has_password) throw JetError("Not a valid password.");
  if (format().version == Version::kJet3) text_ = TextEncoding(header_.code_page);
  pages_ = std::make_unique<PageCache>(*source_, format().page_size, header_.database_key);
}

std::unique_ptr<Database> Database::Open(const std::string& path) {
  // Messages name the file by its full path, whatever the caller passed.
  std::string full = FullPath(path);
  return std::unique_ptr<Database>(new Database(OpenFileSource(full), full));
}

std::unique_ptr<Database> Database::OpenBytes(std::vector<uint8_t> bytes,
                                              const std::string& name) {
  return std::unique_ptr<Database>(new Database(MemorySource(std::move(bytes)), name));
}

TableDefinition Database::ReadTable(uint32_t definition_page) {
  return ReadTableDefinition(*pages_, format(), text_, definition_page);
}

CatalogRowReader::CatalogRowReader(const TableDefinition& catalog, const TextEncoding& text) : text_(text) {
  const std::pair<std::u16string_view, size_t*> wanted[] = {
      {u"Id", &id_}, {u"ParentId", &parent_}, {u"Name", &name_}, {u"Type", &type_}, {u"Flags", &flags_}};
  for (const auto& column : wanted) {
    auto found = std::find_if(catalog.columns.begin(), catalog.columns.end(),
                              [&](const Column& c) { return c.name == column.first; });
    if (found == catalog.columns.end()) {
      RaiseDamaged("table definition", kCatalogPage, "the catalog lacks one of its columns");
    }
    *column.second = static_cast<size_t>(found - catalog.columns.begin());
  }
}

CatalogEntry CatalogRowReader::Read(const std::vector<Field>& row) const {
  CatalogEntry entry;
  entry.id = static_cast<int32_t>(SignedField(row[id_]));
  entry.parent_id = static_cast<int32_t>(SignedField(row[parent_]));
  entry.name = text_.Decode(row[name_].bytes);
  entry.type = static_cast<int16_t>(SignedField(row[type_]));
  entry.flags = static_cast<uint32_t>(SignedField(row[flags_]));
  return entry;
}

std::vector<CatalogEntry> Database::ReadCatalog() {
  const TableDefinition catalog = ReadTable(kCatalogPage);
  const CatalogRowReader rows(catalog, text_);
  std::vector<CatalogEntry> entries;
  // The catalog's rows are read from the pages it owns when its usage map, derived from them,
  // is damaged; those pages must then hold at least the catalog's own row.
  std::optional<std::vector<uint32_t>> owned;
  const std::optional<std::string> map_damage = UsageMapDamage(*pages_, format(), catalog.usage_map, kCatalogPage);
  if (map_damage) owned = DataPagesOwnedBy(*pages_, format(), kCatalogPage);
  TableReader reader(*pages_, format(), catalog, owned ? &*owned : nullptr);
  std::vector<Field> fields;
  while (reader.Next(fields)) {
    CatalogEntry entry = rows.Read(fields);
    entry.row = PackRowPointer(reader.location().page, static_cast<uint8_t>(reader.location().row));
    entries.push_back(std::move(entry));
  }
  if (map_damage && std::none_of(entries.begin(), entries.end(), [](const CatalogEntry& entry) {
        return entry.type == kCatalogLocalTable && entry.definition_page() == kCatalogPage;
      })) {
    RaiseDamaged("table definition", kCatalogPage,
                 "the catalog's usage map cannot be read (" + *map_damage + ") and no page it owns lists it");
  }
  return entries;
}

}  // namespace vintrel::jet
