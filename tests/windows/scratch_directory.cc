#include "scratch_directory.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/windows/windows_api.h"

namespace vintrel::testing {
namespace {

std::wstring CurrentDirectory() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, buffer);
  return std::wstring(buffer, length);
}

std::vector<std::wstring> FileNames(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE search = ::FindFirstFileW((directory + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(entry.cFileName);
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

ScratchDirectory::ScratchDirectory() : previous_(CurrentDirectory()) {
  wchar_t temporary[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temporary);
  path_ = std::wstring(temporary) + L"vintrel-test-" + std::to_wstring(::GetCurrentProcessId()) +
          L"-" + std::to_wstring(::GetTickCount());
  if (!::CreateDirectoryW(path_.c_str(), nullptr) || !::SetCurrentDirectoryW(path_.c_str())) {
    throw std::runtime_error("cannot set up a scratch directory");
  }
}

ScratchDirectory::~ScratchDirectory() {
  ::SetCurrentDirectoryW(previous_.c_str());
  for (const std::wstring& name : FileNames(path_)) {
    const std::wstring file = path_ + L"\\" + name;
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(file.c_str());
  }
  ::RemoveDirectoryW(path_.c_str());
}

void ScratchDirectory::Write(const std::wstring& name, const std::string& content, bool readOnly) const {
  const std::wstring file = path_ + L"\\" + name;
  std::ofstream(file.c_str(), std::ios::binary) << content;
  if (readOnly) ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
}

bool ScratchDirectory::Exists(const std::wstring& name) const {
  const DWORD attributes = ::GetFileAttributesW((path_ + L"\\" + name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ScratchDirectory::Read(const std::wstring& name) const {
  std::ifstream file((path_ + L"\\" + name).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring ScratchDirectory::Listing() const {
  std::wstring listing;
  for (const std::wstring& name : FileNames(path_)) listing += name + L" ";
  return listing;
}

}  // namespace vintrel::testing
