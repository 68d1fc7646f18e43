// What of a pass reaches the disk, seen through the file calls themselves: this executable is
// linked with fsync and renameat2 wrapped (-Wl,--wrap), so the platform's and the engine's calls
// come here first. Every rename that gives a database its name is followed by a flush of its
// folder before anything else happens, the last one included; a flush that fails stops the pass.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "compaction/run_compaction.h"
#include "copying_platform.h"
#include "platform/posix/posix_object_factory.h"
#include "scratch_directory.h"
#include "text/utf.h"

namespace {

std::vector<std::string> calls;
bool fail_folder_flush = false;

}  // namespace

extern "C" {
int __real_fsync(int fd);
int __real_renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags);

int __wrap_fsync(int fd) {
  struct stat info {};
  const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  calls.push_back(folder ? "flush folder" : "flush file");
  if (fail_folder_flush && folder) {
    errno = EIO;
    return -1;
  }
  return __real_fsync(fd);
}

int __wrap_renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags) {
  calls.push_back("rename " + std::filesystem::path(from).filename().string() + " to " +
                  std::filesystem::path(to).filename().string());
  return __real_renameat2(from_dir, from, to_dir, to, flags);
}
}

namespace vintrel {
namespace {

using testing::WorkingDirectory;

std::vector<std::u16string> RunPass() {
  PosixObjectFactory platform;
  testing::RecordingHost host(platform);
  RunCompaction(host);
  return host.errors;
}

TEST(FolderFlushTest, EachRenameIsFlushedBeforeThePassGoesOn) {
  if (!std::filesystem::is_directory(VINTREL_FIXTURES)) GTEST_SKIP() << "the fixture corpus is absent";
  WorkingDirectory directory;
  std::filesystem::copy_file(std::filesystem::path(VINTREL_FIXTURES) / "jet4" / "emptyV2000.mdb", "lift.mdb");
  std::filesystem::permissions("lift.mdb", std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  std::filesystem::copy_file("lift.mdb", "prof1.mdb");  // an interrupted copy, renamed back
  calls.clear();

  EXPECT_EQ(RunPass(), std::vector<std::u16string>{});
  EXPECT_EQ(calls, (std::vector<std::string>{"flush file", "flush folder", "rename lift1.mdb to lift.mdb",
                                             "flush folder", "rename prof1.mdb to prof.mdb", "flush folder"}));

  // In a folder of its own: the orphan that closes lift.mdb's old file may still hold this one's lock.
  WorkingDirectory other;
  std::filesystem::copy_file(directory.path() / "lift.mdb", "log1.mdb");
  fail_folder_flush = true;
  const std::vector<std::u16string> errors = RunPass();
  fail_folder_flush = false;
  EXPECT_EQ(errors, std::vector<std::u16string>{u"Could not flush the directory of '" +
                                                FromUtf8((std::filesystem::current_path() / "log.mdb").string()) +
                                                u"': Input/output error."});
}

}  // namespace
}  // namespace vintrel
