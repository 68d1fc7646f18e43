#include "scratch_directory.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vintrel::testing {

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = fs::temp_directory_path() / ("vintrel-" + std::to_string(random()));
    if (fs::create_directory(path_)) return;
  }
  throw std::runtime_error("cannot create a scratch directory");
}

ScratchDirectory::~ScratchDirectory() {
  // Write permission back first: neither a read-only folder's entries nor, on Windows, a
  // read-only file can be removed.
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto entry = fs::recursive_directory_iterator(path_, ignored); entry != fs::recursive_directory_iterator();
       entry.increment(ignored)) {
    fs::permissions(entry->path(), fs::perms::owner_write | fs::perms::owner_exec | fs::perms::owner_read,
                    fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

WorkingDirectory::WorkingDirectory() : previous_(fs::current_path()) { fs::current_path(path()); }

WorkingDirectory::~WorkingDirectory() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
}

void WriteFile(const fs::path& file, const std::string& content, bool readOnly) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file.string());
  if (readOnly) {
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListDirectory(const fs::path& directory) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vintrel::testing
