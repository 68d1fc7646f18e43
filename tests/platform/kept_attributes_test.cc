// The compacted database as a server's services see it: a database of another user keeps its
// owner, group, mode, extended attributes and ACL through a pass run by root; a copy that
// cannot keep its owner is refused; a database of more than one name is refused. Each test
// runs the whole pass over a real folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "compaction/run_compaction.h"
#include "copying_platform.h"
#include "platform/posix/posix_object_factory.h"
#include "scratch_directory.h"
#include "text/utf.h"

namespace vintrel {
namespace {

using testing::ListDirectory;
using testing::ReadFile;
using testing::WorkingDirectory;

constexpr uid_t kService = 65534;  // nobody:nogroup, the databases' owner
constexpr uid_t kOtherUser = 1;    // daemon, who runs the pass that may not give them away

#define REQUIRE_FIXTURES()                                                     \
  if (!std::filesystem::is_directory(VINTREL_FIXTURES)) {                      \
    GTEST_SKIP() << "the fixture corpus " << VINTREL_FIXTURES << " is absent"; \
  }
#define REQUIRE_ROOT()                                                                  \
  if (::geteuid() != 0) {                                                               \
    GTEST_SKIP() << "giving files to another user needs root, as the test run has on CI"; \
  }

// Writable, as the fixtures are not.
void CopyFixture(const char* name, const std::string& to) {
  std::filesystem::copy_file(std::filesystem::path(VINTREL_FIXTURES) / "jet4" / name, to);
  std::filesystem::permissions(to, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

std::string FullPath(const std::string& name) { return (std::filesystem::current_path() / name).string(); }

// The errors of a pass over the current folder.
std::vector<std::string> RunPass() {
  PosixObjectFactory platform;
  testing::RecordingHost host(platform);
  RunCompaction(host);
  std::vector<std::string> errors;
  for (const std::u16string& error : host.errors) errors.push_back(ToUtf8(error));
  return errors;
}

std::string Attribute(const std::string& path, const char* name) {
  std::array<char, 256> value;
  const ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
  return size < 0 ? "" : std::string(value.data(), static_cast<size_t>(size));
}

// An ACL as the kernel stores it in system.posix_acl_*: a version, then entries of tag,
// permissions and id, in the order of their tags.
std::string AccessControlList(uid_t extra_user) {
  constexpr uint32_t kNoId = 0xFFFFFFFF;
  const std::array<std::array<uint32_t, 3>, 5> entries{{
      {0x01, 6, kNoId},       // the owner: rw
      {0x02, 6, extra_user},  // a named user: rw
      {0x04, 4, kNoId},       // the group: r
      {0x10, 6, kNoId},       // the mask: rw
      {0x20, 0, kNoId},       // others: nothing
  }};
  std::string bytes("\x02\0\0\0", 4);
  for (const auto& [tag, permissions, id] : entries) {
    const uint8_t entry[8] = {static_cast<uint8_t>(tag),       0,
                              static_cast<uint8_t>(permissions), 0,
                              static_cast<uint8_t>(id),        static_cast<uint8_t>(id >> 8),
                              static_cast<uint8_t>(id >> 16),  static_cast<uint8_t>(id >> 24)};
    bytes.append(reinterpret_cast<const char*>(entry), sizeof entry);
  }
  return bytes;
}

bool SetAttribute(const std::string& path, const char* name, const std::string& value) {
  return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

TEST(KeptAttributesTest, AnotherUsersDatabaseKeepsItsOwnerGroupAndModeWithTheSpecialBits) {
  REQUIRE_FIXTURES();
  REQUIRE_ROOT();
  WorkingDirectory directory;
  CopyFixture("delTestV2000.mdb", "lift.mdb");
  const uintmax_t size = std::filesystem::file_size("lift.mdb");
  ASSERT_EQ(::chown("lift.mdb", kService, kService), 0);
  ASSERT_EQ(::chmod("lift.mdb", 02660), 0);

  EXPECT_EQ(RunPass(), std::vector<std::string>{});
  struct stat compacted;
  ASSERT_EQ(::stat("lift.mdb", &compacted), 0);
  EXPECT_LT(static_cast<uintmax_t>(compacted.st_size), size) << "the database was compacted";
  EXPECT_EQ(compacted.st_uid, kService);
  EXPECT_EQ(compacted.st_gid, kService);
  EXPECT_EQ(compacted.st_mode & 07777, 02660u);
}

TEST(KeptAttributesTest, ExtendedAttributesAndTheAccessControlListAreKeptAndNoneAdded) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  CopyFixture("delTestV2000.mdb", "lift.mdb");
  CopyFixture("emptyV2000.mdb", "log.mdb");
  if (!SetAttribute("lift.mdb", "user.service", "lift") ||
      !SetAttribute("lift.mdb", "system.posix_acl_access", AccessControlList(kOtherUser))) {
    GTEST_SKIP() << "the file system of " << FullPath("") << " has no user attributes or ACLs";
  }
  // A file created here starts with an ACL, which log.mdb does not have.
  ASSERT_TRUE(SetAttribute(".", "system.posix_acl_default", AccessControlList(kOtherUser)));
  const std::string acl = Attribute("lift.mdb", "system.posix_acl_access");
  struct stat log;
  ASSERT_EQ(::stat("log.mdb", &log), 0);

  EXPECT_EQ(RunPass(), std::vector<std::string>{});
  EXPECT_EQ(Attribute("lift.mdb", "user.service"), "lift");
  EXPECT_EQ(Attribute("lift.mdb", "system.posix_acl_access"), acl);
  EXPECT_EQ(::getxattr("log.mdb", "system.posix_acl_access", nullptr, 0), -1);
  EXPECT_EQ(errno, ENODATA);
  struct stat compacted;
  ASSERT_EQ(::stat("log.mdb", &compacted), 0);
  EXPECT_EQ(compacted.st_mode, log.st_mode);
}

TEST(KeptAttributesTest, ADatabaseOfMoreThanOneNameIsRefusedAndLeftAsItIs) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  std::filesystem::create_directory("real");
  CopyFixture("delTestV2000.mdb", "real/lift.mdb");
  const std::string bytes = ReadFile("real/lift.mdb");

  std::filesystem::create_symlink("real/lift.mdb", "lift.mdb");
  EXPECT_EQ(RunPass(), std::vector<std::string>{"The database '" + FullPath("lift.mdb") +
                                                "' is a symbolic link to 'real/lift.mdb'; compact the file it "
                                                "points to in its own folder, or replace the link with the file."});
  EXPECT_TRUE(std::filesystem::is_symlink("lift.mdb"));

  std::filesystem::remove("lift.mdb");
  std::filesystem::create_hard_link("real/lift.mdb", "lift.mdb");
  EXPECT_EQ(RunPass(), std::vector<std::string>{"The database '" + FullPath("lift.mdb") +
                                                "' has 2 names (hard links), and its compacted copy could take "
                                                "only this one; remove its other names, or replace it with a "
                                                "copy of its own."});
  EXPECT_EQ(std::filesystem::hard_link_count("lift.mdb"), 2u);
  EXPECT_EQ(ReadFile("real/lift.mdb"), bytes);
  EXPECT_EQ(ListDirectory(), (std::vector<std::string>{"lift.mdb", "real"}));
}

// The errors of a pass over the current folder, which kOtherUser may write, run by that user in
// a child process.
std::string RunPassAsOtherUser() {
  int output[2];
  if (::pipe(output) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    std::string errors = "could not become the other user";
    if (::setgroups(0, nullptr) == 0 && ::setresgid(kOtherUser, kOtherUser, kOtherUser) == 0 &&
        ::setresuid(kOtherUser, kOtherUser, kOtherUser) == 0) {
      errors.clear();
      for (const std::string& error : RunPass()) errors += error + "\n";
    }
    const bool written = ::write(output[1], errors.data(), errors.size()) == static_cast<ssize_t>(errors.size());
    ::_exit(written ? 0 : 1);
  }
  ::close(output[1]);
  std::string errors;
  std::array<char, 256> buffer;
  ssize_t read;
  while ((read = ::read(output[0], buffer.data(), buffer.size())) > 0) errors.append(buffer.data(), static_cast<size_t>(read));
  ::close(output[0]);
  ::waitpid(child, nullptr, 0);
  return errors;
}

TEST(KeptAttributesTest, ACopyThatCannotTakeTheDatabasesOwnerIsRefusedAndNothingIsLeft) {
  REQUIRE_FIXTURES();
  REQUIRE_ROOT();
  WorkingDirectory directory;
  CopyFixture("delTestV2000.mdb", "lift.mdb");
  const std::string bytes = ReadFile("lift.mdb");
  ASSERT_EQ(::chown(".", kOtherUser, kOtherUser), 0);
  ASSERT_EQ(::chown("lift.mdb", kService, kService), 0);
  ASSERT_EQ(::chmod("lift.mdb", 0666), 0);
  const std::string owner = std::string(::getpwuid(kService)->pw_name) + ":" + ::getgrgid(kService)->gr_name;

  EXPECT_EQ(RunPassAsOtherUser(), "The compacted copy of '" + FullPath("lift.mdb") +
                                      "' could not be given the owner of the database (" + owner +
                                      "); the database was left as it is.\n");
  EXPECT_EQ(ListDirectory(), std::vector<std::string>{"lift.mdb"});
  EXPECT_EQ(ReadFile("lift.mdb"), bytes);
}

}  // namespace
}  // namespace vintrel
