// The engine's tests work on files in a scratch directory: new ones handed to PageOutput,
// and whole files read and written as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/io/file_io.h"
#include "scratch_directory.h"

namespace vintrel::jet::testing {

using vintrel::testing::ScratchDirectory;

// A PageOutput-ready descriptor of a new file.
Descriptor CreateFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vintrel::jet::testing
