#include "jet/compact/compact_database.h"

#include <sys/stat.h>

#include <map>
#include <utility>
#include <vector>

#include "jet/coding.h"
#include "jet/compact/content_digest.h"
#include "jet/compact/renumbering.h"
#include "jet/compact/table_copier.h"
#include "jet/io/source_lock.h"
#include "jet/io/temporary_file.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/usage_map_builder.h"
#include "jet/rc4.h"

namespace vintrel::jet {
namespace {

// The source's definition page with the database key cleared, since the copy's pages
// are stored plain.
std::vector<uint8_t> DefinitionPage(Database& source) {
  const Format& format = source.format();
  PageRef page = source.pages().Get(0, "database definition");
  ByteView view = page->View("database definition");
  std::vector<uint8_t> bytes(view.bytes().begin(), view.bytes().end());
  if (source.header().database_key != 0) {
    constexpr uint8_t kMaskKey[4] = {kHeaderMaskKey & 0xFF, (kHeaderMaskKey >> 8) & 0xFF,
                                     (kHeaderMaskKey >> 16) & 0xFF, kHeaderMaskKey >> 24};
    std::span<uint8_t> masked = std::span(bytes).subspan(kMaskedAreaOffset, format.masked_area_size);
    ApplyRc4(kMaskKey, masked);
    PutU32(bytes, kDatabaseKeyOffset, 0);
    ApplyRc4(kMaskKey, masked);
  }
  return bytes;
}

void WriteGlobalMap(const Format& format, PageOutput& output) {
  DataPageBuilder page(format, kGlobalMapPage, kGlobalMapPage);
  page.Add(BuildGlobalFreeMap(format, output));
  page.Add(std::vector<uint8_t>(kUsageMapRowSize, 0));
  output.Write(kGlobalMapPage, page.bytes());
}

}  // namespace

CompactionFigures WriteCompactedCopy(Database& source, PageOutput& output) {
  const Format& format = source.format();
  CompactionFigures figures;
  figures.source_pages = source.pages().page_count();

  const std::vector<CatalogEntry> catalog = source.ReadCatalog();
  Renumbering renumbering(catalog);
  output.Reserve(0);
  output.Reserve(kGlobalMapPage);
  for (const auto& [old_page, new_page] : renumbering.pages()) output.Reserve(new_page);
  std::map<uint32_t, std::u16string> names;
  for (const CatalogEntry& entry : catalog) {
    if (entry.type == kCatalogLocalTable) names[entry.definition_page()] = entry.name;
  }

  output.Write(0, DefinitionPage(source));
  MapRows maps(format, output);
  for (const auto& [old_page, new_page] : renumbering.pages()) {
    TableToCopy table{names[old_page], old_page, new_page};
    CopiedTable copied = CopyTable(source, table, renumbering, output, maps);
    figures.rows += copied.rows;
    figures.content[table.name] = copied.digest;
  }
  maps.Flush();
  WriteGlobalMap(format, output);
  figures.copy_pages = output.page_count();
  output.Finish();
  return figures;
}

CompactionFigures CompactDatabase(const std::string& source_path,
                                  const std::string& destination_path) {
  SourceLock lock(source_path);
  struct stat existing;
  if (::lstat(destination_path.c_str(), &existing) == 0) throw JetError("Database already exists.");
  std::unique_ptr<Database> source = Database::Open(source_path);
  if (source->format().version != Version::kJet4) {
    throw JetError("Converting the Jet 3 database '" + source_path +
                   "' to the Jet 4 format is not supported.");
  }
  TemporaryFile temporary(destination_path);
  CompactionFigures figures;
  {
    PageOutput output(temporary.WriterDescriptor(), destination_path, source->format().page_size);
    figures = WriteCompactedCopy(*source, output);
  }
  std::unique_ptr<Database> copy = Database::Open(temporary.path());
  RequireSameContent(figures.content, DigestContent(*copy), source_path);
  temporary.Publish(destination_path);
  return figures;
}

}  // namespace vintrel::jet
