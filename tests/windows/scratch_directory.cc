#include "scratch_directory.h"

#include <fstream>
#include <iterator>
#include <set>

#include "platform/windows/windows_api.h"

namespace vintrel::testing {

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory()
    : previous_(fs::current_path()),
      path_(fs::temp_directory_path() / (L"vintrel-test-" + std::to_wstring(::GetCurrentProcessId()) +
                                         L"-" + std::to_wstring(::GetTickCount()))) {
  fs::create_directory(path_);
  fs::current_path(path_);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  for (const fs::directory_entry& entry : fs::directory_iterator(path_, ignored)) {
    ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(path_, ignored);
}

void ScratchDirectory::Write(const std::wstring& name, const std::string& content, bool readOnly) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
  if (readOnly) ::SetFileAttributesW((path_ / name).c_str(), FILE_ATTRIBUTE_READONLY);
}

bool ScratchDirectory::Exists(const std::wstring& name) const { return fs::is_regular_file(path_ / name); }

std::string ScratchDirectory::Read(const std::wstring& name) const {
  std::ifstream file(path_ / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring ScratchDirectory::Listing() const {
  std::set<std::wstring> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(path_)) {
    if (entry.is_regular_file()) names.insert(entry.path().filename().wstring());
  }
  std::wstring listing;
  for (const std::wstring& name : names) listing += name + L" ";
  return listing;
}

}  // namespace vintrel::testing
