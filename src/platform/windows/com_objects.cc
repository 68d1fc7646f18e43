// Each operation is one late-bound call by the member name that the Scripting Runtime or JRO
// gives it. Results are checked for their kind (AsBoolean, AsObject), so a component that
// returns something else fails with "Type mismatch" instead of being misread.
#include "platform/windows/com_objects.h"

#include <utility>
#include <vector>

namespace vintrel {
namespace {

// Builds an argument list; a braced list cannot hold the move-only Variant.
template <typename... Values>
std::vector<Variant> Arguments(Values&&... values) {
  std::vector<Variant> arguments;
  (arguments.push_back(std::forward<Values>(values)), ...);
  return arguments;
}

}  // namespace

void ComFile::Delete(bool force) { object().Call(L"Delete", Arguments(Variant::Boolean(force))); }

void ComFile::SetName(const std::u16string& name) { object().Put(L"Name", Variant::String(name)); }

bool ComFileSystem::FileExists(const std::u16string& path) {
  return object().Call(L"FileExists", Arguments(Variant::String(path))).AsBoolean();
}

void ComFileSystem::DeleteFile(const std::u16string& path, bool force) {
  object().Call(L"DeleteFile", Arguments(Variant::String(path), Variant::Boolean(force)));
}

std::shared_ptr<File> ComFileSystem::GetFile(const std::u16string& path) {
  Variant file = object().Call(L"GetFile", Arguments(Variant::String(path)));
  return std::make_shared<ComFile>(DispatchObject(file.AsObject()));
}

void ComEngine::CompactDatabase(const std::u16string& source, const std::u16string& destination) {
  object().Call(L"CompactDatabase", Arguments(Variant::String(source), Variant::String(destination)));
}

}  // namespace vintrel
