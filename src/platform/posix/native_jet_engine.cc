// Paths are made absolute here, so the engine's messages name files in full. The copy is
// given the database's owner, mode and attributes before it is named, and a database of more
// than one name is refused (kept_attributes.h). A JetError is passed on as the RaisedError the
// pass reports, with its text unchanged.
#include "platform/posix/native_jet_engine.h"

#include <filesystem>

#include "compaction/raised_error.h"
#include "jet/compact/compact_database.h"
#include "jet/jet_error.h"
#include "platform/common/compaction_request.h"
#include "platform/posix/kept_attributes.h"
#include "text/utf.h"

namespace vintrel {
namespace {

std::string FullPath(const std::u16string& data_source) {
  return std::filesystem::absolute(std::filesystem::path(ToUtf8(data_source))).lexically_normal().string();
}

}  // namespace

void NativeJetEngine::CompactDatabase(const std::u16string& source,
                                      const std::u16string& destination) {
  const CompactionRequest request = ReadCompactionRequest(source, destination);
  const std::string source_path = FullPath(request.source);
  const std::string destination_path = FullPath(request.destination);
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
