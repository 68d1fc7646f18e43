// The pass for one database, in the platform's own calls. Each platform object is created on
// first use and kept in the host's references, so a later pass reuses it. The copy is asked for
// in the Jet 4 format (Engine Type 5) whatever the source's version, and the database is
// deleted only after the engine has returned, so a failed copy leaves it as it was.
#include "compaction/compact_db.h"

#include <memory>

#include "compaction/raised_error.h"

namespace vintrel {
namespace {

constexpr std::u16string_view kProvider = u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr std::u16string_view kJet4Format = u";Jet OLEDB:Engine Type=5";
constexpr std::u16string_view kLineBreak = u"\r\n";

// Creates the object when the reference is empty; a failed creation leaves it empty.
template <typename Interface>
Interface& Use(std::shared_ptr<Interface>& reference, CompactionHost& host, ClassId classId) {
  if (!reference) {
    auto object = std::dynamic_pointer_cast<Interface>(host.objects().CreateObject(classId));
    if (!object) throw RaisedError(u"No such interface supported");
    reference = std::move(object);
  }
  return *reference;
}

FileSystem& UseFileSystem(CompactionHost& host) {
  return Use(host.fileSystem, host, kFileSystemObjectClass);
}

Engine& UseEngine(CompactionHost& host) { return Use(host.engine, host, kJetEngineClass); }

void LogEntry(CompactionHost& host, std::u16string_view dbPath, std::u16string_view outcome) {
  std::u16string entry(dbPath);
  entry += outcome;
  entry += kLineBreak;
  host.AppendLog(entry);
}

}  // namespace

std::u16string DatabasePath(std::u16string_view baseName) {
  return std::u16string(baseName) + u".mdb";
}

std::u16string ScratchPath(std::u16string_view baseName) {
  return std::u16string(baseName) + u"1.mdb";
}

std::u16string SourceConnection(std::u16string_view dbPath) {
  return std::u16string(kProvider) + std::u16string(dbPath);
}

std::u16string DestinationConnection(std::u16string_view scratchPath) {
  return std::u16string(kProvider) + std::u16string(scratchPath) + std::u16string(kJet4Format);
}

void CompactDb(CompactionHost& host, std::u16string_view baseName) {
  const std::u16string scratchPath = ScratchPath(baseName);
  const std::u16string dbPath = DatabasePath(baseName);

  // The database is looked for before the scratch file: without the database, a scratch file
  // is what an interrupted rename left behind, the only copy of the data, so it gets the
  // database's name back instead of being deleted.
  if (!UseFileSystem(host).FileExists(dbPath)) {
    if (UseFileSystem(host).FileExists(scratchPath)) {
      host.currentFile = UseFileSystem(host).GetFile(scratchPath);
      host.currentFile->SetName(dbPath);
    }
    LogEntry(host, dbPath, u" not found");
    return;
  }
  if (UseFileSystem(host).FileExists(scratchPath)) {
    UseFileSystem(host).DeleteFile(scratchPath, false);
  }

  UseEngine(host).CompactDatabase(SourceConnection(dbPath), DestinationConnection(scratchPath));

  host.currentFile = UseFileSystem(host).GetFile(dbPath);
  host.currentFile->Delete(false);
  host.currentFile = UseFileSystem(host).GetFile(scratchPath);
  host.currentFile->SetName(dbPath);

  LogEntry(host, dbPath, u" ok");
}

}  // namespace vintrel
