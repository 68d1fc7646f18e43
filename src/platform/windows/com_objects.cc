// Each operation is one late-bound call by the member name that the Scripting Runtime or JRO
// gives it. Results are checked for their kind (AsBoolean, AsObject), so a component that
// returns something else fails with "Type mismatch" instead of being misread.
#include "platform/windows/com_objects.h"

#include <utility>
#include <vector>

#include "platform/windows/com_error.h"

namespace vintrel {
namespace {

// Builds an argument list; a braced list cannot hold the move-only Variant.
template <typename... Values>
std::vector<Variant> Arguments(Values&&... values) {
  std::vector<Variant> arguments;
  (arguments.push_back(std::forward<Values>(values)), ...);
  return arguments;
}

// The component's call, or ours where the component does not implement the member.
template <typename Call, typename Own>
auto ComponentOrOwn(Call call, Own own) {
  try {
    return call();
  } catch (const ComFailure& failure) {
    if (failure.status() != E_NOTIMPL) throw;
  }
  return own();
}

}  // namespace

void ComFile::Delete(bool force) {
  ComponentOrOwn([&] { object().Call(L"Delete", Arguments(Variant::Boolean(force))); }, [&] { own_.Delete(force); });
}

void ComFile::SetName(const std::u16string& name) {
  ComponentOrOwn(
      [&] {
        object().Put(L"Name", Variant::String(name));
        own_.Renamed(name);
      },
      [&] { own_.SetName(name); });
}

bool ComFileSystem::FileExists(const std::u16string& path) {
  return ComponentOrOwn([&] { return object().Call(L"FileExists", Arguments(Variant::String(path))).AsBoolean(); },
                        [&] { return own_.FileExists(path); });
}

void ComFileSystem::DeleteFile(const std::u16string& path, bool force) {
  ComponentOrOwn([&] { object().Call(L"DeleteFile", Arguments(Variant::String(path), Variant::Boolean(force))); },
                 [&] { own_.DeleteFile(path, force); });
}

std::shared_ptr<File> ComFileSystem::GetFile(const std::u16string& path) {
  return ComponentOrOwn(
      [&]() -> std::shared_ptr<File> {
        Variant file = object().Call(L"GetFile", Arguments(Variant::String(path)));
        return std::make_shared<ComFile>(DispatchObject(file.AsObject()), FullFilePath(path));
      },
      [&] { return own_.GetFile(path); });
}

void ComEngine::CompactDatabase(const std::u16string& source, const std::u16string& destination) {
  object().Call(L"CompactDatabase", Arguments(Variant::String(source), Variant::String(destination)));
}

}  // namespace vintrel
