// A file source at the edges of its blocks: reads that run from one block into the next,
// blocks read again after the cache let them go, a last block shorter than the others, and
// a file with nothing in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/io/page_source.h"
#include "jet/jet_error.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

using testing::ScratchDirectory;

// Two passes of reads that straddle block boundaries, over more blocks than the cache holds.
TEST(PageSourceTest, BytesAcrossBlocksReadRightAndAnEmptyFileIsUnrecognized) {
  ScratchDirectory dir;
  const std::string path = dir.Path("windows.mdb");
  std::vector<uint8_t> bytes(3 * (size_t{4} << 20) + 4096);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i ^ (i >> 8) ^ (i >> 16));
  testing::WriteBytes(path, bytes);
  const std::unique_ptr<PageSource> source = OpenFileSource(path);
  std::vector<uint8_t> read(3001);
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t at = 0; at < bytes.size(); at += read.size()) {
      const std::span<uint8_t> out(read.data(), std::min(read.size(), bytes.size() - at));
      source->Read(at, out);
      ASSERT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + static_cast<ptrdiff_t>(at)))
          << "pass " << pass << ", offset " << at;
    }
  }

  const std::string empty = dir.Path("empty.mdb");
  testing::WriteBytes(empty, {});
  try {
    Database::Open(empty);
    ADD_FAILURE() << "an empty file opened";
  } catch (const JetError& error) {
    EXPECT_STREQ(error.what(), ("Unrecognized database format '" + empty + "'.").c_str());
  }
}

}  // namespace
}  // namespace vintrel::jet
