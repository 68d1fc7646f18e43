#include "jet/compact/compact_database.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "jet/coding.h"
#include "jet/compact/content_digest.h"
#include "jet/compact/jet4_conversion.h"
#include "jet/compact/loss_table.h"
#include "jet/compact/renumbering.h"
#include "jet/compact/table_copier.h"
#include "jet/io/source_lock.h"
#include "jet/io/temporary_file.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/database_header.h"
#include "jet/pages/usage_map_builder.h"

namespace vintrel::jet {
namespace {

// Today as a Date/Time value: days since 30 December 1899.
double Now() {
  constexpr double kUnixEpochDay = 25569;
  return kUnixEpochDay + static_cast<double>(std::time(nullptr)) / 86400;
}

void WriteGlobalMap(const Format& format, PageOutput& output) {
  DataPageBuilder page(format, kGlobalMapPage, kGlobalMapPage);
  page.Add(BuildGlobalFreeMap(format, output));
  page.Add(std::vector<uint8_t>(kUsageMapRowSize, 0));
  output.Write(kGlobalMapPage, page.bytes());
}

// Every table's definition, read once for the whole copy. A table whose definition cannot be
// read has rows nobody can read: refused, or, salvaging, left out of the copy with its catalog
// row (added to `left_out`), and recorded as a loss.
std::map<uint32_t, TableDefinition> ReadDefinitions(Database& source, std::vector<CatalogEntry>& catalog,
                                                    const CompactionOptions& options, CompactionFigures& figures,
                                                    std::vector<uint32_t>& left_out) {
  std::map<uint32_t, TableDefinition> definitions;
  std::erase_if(catalog, [&](const CatalogEntry& entry) {
    if (entry.type != kCatalogLocalTable) return false;
    try {
      definitions.emplace(entry.definition_page(), source.ReadTable(entry.definition_page()));
      return false;
    } catch (const DamagedError& error) {
      if (entry.definition_page() == kCatalogPage) throw;
      LostRows lost{entry.name, entry.definition_page(), std::nullopt, true, 0, {}, error.damage()};
      if (!options.salvage) throw RowsLostError(std::move(lost));
      figures.losses.push_back(std::move(lost));
      left_out.push_back(entry.row);
      return true;
    }
  });
  return definitions;
}

}  // namespace

CompactionFigures WriteCompactedCopy(Database& source, PageOutput& output, const CompactionOptions& options) {
  const Format& format = kJet4Format;
  CompactionFigures figures;
  figures.source_pages = source.pages().page_count();

  std::vector<CatalogEntry> catalog = source.ReadCatalog();
  std::vector<uint32_t> left_out;
  const std::map<uint32_t, TableDefinition> definitions = ReadDefinitions(source, catalog, options, figures, left_out);
  if (source.format().version == Version::kJet3) RequireConvertible(source.header(), catalog, definitions);
  // The loss table takes a page number past the source's, so that it is written last, when
  // every loss is known.
  const uint32_t loss_table_page = source.pages().page_count();
  const std::u16string loss_table_name = LossTableName(catalog);
  if (options.record_losses) {
    catalog.push_back({static_cast<int32_t>(loss_table_page), 0, loss_table_name, kCatalogLocalTable, 0, 0});
  }
  Renumbering renumbering(catalog);
  output.Reserve(0);
  output.Reserve(kGlobalMapPage);
  for (const auto& [old_page, new_page] : renumbering.pages()) output.Reserve(new_page);
  std::map<uint32_t, std::u16string> names;
  for (const CatalogEntry& entry : catalog) {
    if (entry.type == kCatalogLocalTable) names[entry.definition_page()] = entry.name;
  }

  PageRef definition = source.pages().Get(0, "database definition");
  const std::span<const uint8_t> page0 = definition->View("database definition").bytes();
  output.Write(0, source.format().version == Version::kJet4 ? PlainDefinitionPage(page0, format)
                                                            : Jet4DefinitionPage(page0, Now()));
  MapRows maps(format, output);
  for (const auto& [old_page, new_page] : renumbering.pages()) {
    if (options.record_losses && old_page == loss_table_page) {
      figures.content[names[old_page]] = WriteLossTable(figures.losses, new_page, output, maps);
      continue;
    }
    TableToCopy table{names[old_page], definitions.at(old_page), new_page};
    if (old_page == kCatalogPage) {
      table.left_out = left_out;
      if (options.record_losses) {
        const auto own = std::find_if(catalog.begin(), catalog.end(), [](const CatalogEntry& entry) {
          return entry.type == kCatalogLocalTable && entry.definition_page() == kCatalogPage;
        });
        table.added.push_back(LossCatalogRow(source, own->row, static_cast<int32_t>(loss_table_page), loss_table_name, Now()));
      }
    }
    CopiedTable copied = CopyTable(source, table, renumbering, format, options.salvage, output, maps);
    figures.rows += copied.rows;
    figures.content[table.name] = copied.digest;
    figures.repairs.insert(figures.repairs.end(), copied.repairs.begin(), copied.repairs.end());
    figures.losses.insert(figures.losses.end(), copied.losses.begin(), copied.losses.end());
  }
  maps.Flush();
  WriteGlobalMap(format, output);
  figures.copy_pages = output.page_count();
  output.Finish();
  return figures;
}

namespace {

constexpr std::string_view kNoCopyWritten = "no copy was written.";

CompactionFigures WriteVerifiedCopy(const SourceLock& lock, const std::string& destination_path,
                                    const CompactionOptions& options) {
  const std::string& source_path = lock.path();
  std::unique_ptr<Database> source = Database::Open(source_path);
  TemporaryFile temporary(destination_path);
  CompactionFigures figures;
  try {
    PageOutput output(temporary.WriterDescriptor(), destination_path, kJet4Format.page_size);
    figures = WriteCompactedCopy(*source, output, options);
  } catch (const UnsupportedError& e) {
    if (source->format().version == Version::kJet4) throw;
    throw JetError(ConversionNotSupported(source_path, e.what()));
  }
  if (options.salvage && !options.record_losses && !figures.losses.empty()) {
    // Written again with the losses recorded in the copy: the table that records them needs a
    // catalog row, and the catalog is written first.
    CompactionOptions recording = options;
    recording.record_losses = true;
    return WriteVerifiedCopy(lock, destination_path, recording);
  }
  if (options.finish_copy) options.finish_copy(lock.descriptor(), temporary.WriterDescriptor().get());
  temporary.StartFlush(destination_path);
  std::unique_ptr<Database> copy = Database::Open(temporary.path());
  RequireSameContent(figures.content, DigestContent(*copy), source_path);
  lock.RequireUnchanged(kNoCopyWritten);
  temporary.Publish(destination_path);
  return figures;
}

}  // namespace

CompactionFigures CompactDatabase(const SourceLock& source, const std::string& destination_path,
                                  const CompactionOptions& options) {
  if (NameTaken(destination_path)) throw JetError("Database already exists.");
  try {
    return WriteVerifiedCopy(source, destination_path, options);
  } catch (const JetError& error) {
    // What was read of a file that changed meanwhile may look like damage; the change is the
    // cause to report.
    source.RequireUnchanged(kNoCopyWritten);
    const std::string damaged = "The database '" + source.path() + "' is damaged: ";
    if (dynamic_cast<const RowsLostError*>(&error)) {
      throw JetError(damaged + error.what() + ". A compaction would lose those rows, so the database was left as it is.");
    }
    if (const auto* damage = dynamic_cast<const DamagedError*>(&error)) throw JetError(damaged + damage->damage() + ".");
    throw;
  }
}

CompactionFigures CompactDatabase(const std::string& source_path, const std::string& destination_path,
                                  const CompactionOptions& options) {
  const SourceLock lock(source_path);
  return CompactDatabase(lock, destination_path, options);
}

}  // namespace vintrel::jet
