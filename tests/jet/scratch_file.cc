#include "scratch_file.h"

#ifdef _WIN32
#include <windows.h>
// The macro would rename the function defined here.
#undef CreateFile
#else
#include <fcntl.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vintrel::jet::testing {

Descriptor CreateFile(const std::string& path) {
#ifdef _WIN32
  Descriptor file(::CreateFileW(std::filesystem::u8path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
#else
  Descriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
#endif
  if (!file.valid()) throw std::runtime_error("cannot create " + path);
  return file;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vintrel::jet::testing
