// Only the provider, the Data Source and the destination's engine type are read from the
// connection strings; any other key is ignored. Paths are made absolute here, so the engine's
// messages name files in full. The copy is given the database's owner, mode and attributes
// before it is named, and a database of more than one name is refused (kept_attributes.h).
// A JetError is passed on as the RaisedError the pass reports, with its text unchanged.
#include "platform/posix/native_jet_engine.h"

#include <algorithm>
#include <filesystem>

#include "compaction/raised_error.h"
#include "jet/compact/compact_database.h"
#include "jet/jet_error.h"
#include "platform/posix/connection_string.h"
#include "platform/posix/kept_attributes.h"
#include "text/utf.h"

namespace vintrel {
namespace {

constexpr std::u16string_view kProvider = u"Microsoft.Jet.OLEDB.4.0";
constexpr std::u16string_view kJet4EngineType = u"5";

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

// The file a connection string names, as a full path.
std::string DataSource(const ConnectionString& connection) {
  std::optional<std::u16string> provider = connection.Get(u"Provider");
  if (!provider || !EqualIgnoringCase(*provider, kProvider)) {
    throw RaisedError(u"Provider cannot be found. It may not be properly installed.");
  }
  std::optional<std::u16string> source = connection.Get(u"Data Source");
  if (!source || source->empty()) {
    throw RaisedError(u"The connection string names no Data Source.");
  }
  return std::filesystem::absolute(std::filesystem::path(ToUtf8(*source))).lexically_normal().string();
}

}  // namespace

void NativeJetEngine::CompactDatabase(const std::u16string& source,
                                      const std::u16string& destination) {
  const ConnectionString from = ConnectionString::Parse(source);
  const ConnectionString to = ConnectionString::Parse(destination);
  const std::string source_path = DataSource(from);
  const std::string destination_path = DataSource(to);
  std::optional<std::u16string> engine_type = to.Get(u"Jet OLEDB:Engine Type");
  if (engine_type && *engine_type != kJet4EngineType) {
    throw RaisedError(u"Jet OLEDB:Engine Type " + *engine_type +
                      u" is not supported: the copy can only be written as 5, the Jet 4 format.");
  }
  RequireSingleName(source_path);
  try {
    auto lock = std::make_unique<jet::SourceLock>(source_path);
    const jet::CompactionOptions options{
        .salvage = salvage_,
        .finish_copy = [&](int database, int copy) { GiveAttributesOf(database, copy, source_path); }};
    const jet::CompactionFigures figures = jet::CompactDatabase(*lock, destination_path, options);
    const std::string name = std::filesystem::path(source_path).filename().string();
    for (const std::string& repair : figures.repairs) holds_->Report(name + ": " + repair);
    for (const jet::LostRows& lost : figures.losses) holds_->Report(name + ": lost: " + jet::DescribeLoss(lost));
    holds_->Keep(std::move(lock), !figures.losses.empty());
  } catch (const jet::JetError& error) {
    throw RaisedError(FromUtf8(error.what()));
  }
}

}  // namespace vintrel
