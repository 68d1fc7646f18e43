// An open Jet 3 or Jet 4 database, read-only. Reading starts here: the definition page
// decides the format, the catalog lists the tables, and each table is read through a
// TableReader.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/io/page_cache.h"
#include "jet/pages/database_header.h"
#include "jet/pages/field.h"
#include "jet/pages/table_definition.h"
#include "jet/text_codec.h"

namespace vintrel::jet {

// A row of MSysObjects.
struct CatalogEntry {
  int32_t id = 0;
  int32_t parent_id = 0;
  std::u16string name;
  int16_t type = 0;
  uint32_t flags = 0;
  uint32_t row = 0;  // where the catalog stores it, as a row pointer

  uint32_t definition_page() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
};

// Catalog object kinds and flags.
inline constexpr int16_t kCatalogLocalTable = 1;
inline constexpr uint32_t kCatalogSystemFlags = 0x80000002;

// Reads catalog entries from the catalog's rows, as DecodeRow gives them.
class CatalogRowReader {
 public:
  // Raises a DamagedError when the catalog lacks a column an entry is read from.
  CatalogRowReader(const TableDefinition& catalog, const TextEncoding& text);
  // Raises a DamagedError for a number of the wrong width.
  CatalogEntry Read(const std::vector<Field>& row) const;

 private:
  const TextEncoding& text_;
  size_t id_ = 0, parent_ = 0, name_ = 0, type_ = 0, flags_ = 0;
};

class Database {
 public:
  // Raises the exact descriptions "Could not find file '<path>'.", "Unrecognized database
  // format '<path>'." and "Not a valid password.".
  static std::unique_ptr<Database> Open(const std::string& path);
  // For bytes already in memory; `name` stands for the path in messages.
  static std::unique_ptr<Database> OpenBytes(std::vector<uint8_t> bytes, const std::string& name);

  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const Format& format() const { return *header_.format; }
  const DatabaseHeader& header() const { return header_; }
  const TextEncoding& text() const { return text_; }
  PageCache& pages() { return *pages_; }

  TableDefinition ReadTable(uint32_t definition_page);
  // Every row of MSysObjects, in storage order.
  std::vector<CatalogEntry> ReadCatalog();

 private:
  Database(std::unique_ptr<PageSource> source, const std::string& path);

  std::unique_ptr<PageSource> source_;
  DatabaseHeader header_;
  TextEncoding text_;
  std::unique_ptr<PageCache> pages_;
};

}  // namespace vintrel::jet
