// The order in which a copy reaches the disk, seen through the file calls themselves: this
// executable is linked with fsync and linkat wrapped (-Wl,--wrap), so the engine's calls come
// here first. The copy's bytes must be flushed before it is given the database's name, and the
// name flushed (its directory) after; a flush that fails leaves no copy.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures.h"
#include "jet/compact/compact_database.h"
#include "jet/jet_error.h"
#include "scratch_file.h"

namespace {

std::vector<std::string> calls;
bool fail_file_flush = false;

}  // namespace

extern "C" {
int __real_fsync(int fd);
int __real_linkat(int from_dir, const char* from, int to_dir, const char* to, int flags);

int __wrap_fsync(int fd) {
  struct stat info {};
  const bool directory = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  calls.push_back(directory ? "flush directory" : "flush file");
  if (fail_file_flush && !directory) {
    errno = EIO;
    return -1;
  }
  return __real_fsync(fd);
}

int __wrap_linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
  calls.push_back("name " + std::filesystem::path(to).filename().string());
  return __real_linkat(from_dir, from, to_dir, to, flags);
}
}

namespace vintrel::jet {
namespace {

using testing::ScratchDirectory;

TEST(PublishOrderTest, TheCopyIsFlushedThenNamedThenItsNameFlushed) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  std::filesystem::copy_file(testing::FixturesRoot() / "jet4" / "testV2000.mdb", dir.Path("source.mdb"));
  calls.clear();
  CompactDatabase(dir.Path("source.mdb"), dir.Path("copy.mdb"));
  EXPECT_EQ(calls, (std::vector<std::string>{"flush file", "name copy.mdb", "flush directory"}));

  fail_file_flush = true;
  try {
    CompactDatabase(dir.Path("source.mdb"), dir.Path("unflushed.mdb"));
    ADD_FAILURE() << "a copy that could not be flushed was published";
  } catch (const JetError& e) {
    EXPECT_NE(std::string(e.what()).find("flush"), std::string::npos) << e.what();
  }
  fail_file_flush = false;
  EXPECT_FALSE(std::filesystem::exists(dir.Path("unflushed.mdb")));
}

}  // namespace
}  // namespace vintrel::jet
