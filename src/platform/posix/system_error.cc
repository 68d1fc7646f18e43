// errno alone does not say which part of a path was missing, so ENOENT is split into "File not
// found" and "Path not found" by checking the directory afterwards. An error with no Windows
// counterpart keeps strerror's text.
#include "platform/posix/system_error.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "compaction/raised_error.h"
#include "text/utf.h"

namespace vintrel {
namespace {

// A missing file is "File not found"; a missing or unusable directory on the way to it is
// "Path not found".
bool DirectoryOfExists(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return true;
  const std::string directory(path.substr(0, slash == 0 ? 1 : slash));
  struct stat info;
  return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

void RaiseWindowsFileError(std::string_view path, int error) {
  switch (error) {
    case ENOENT:
      throw RaisedError(DirectoryOfExists(path) ? u"File not found" : u"Path not found");
    case ENOTDIR:
      throw RaisedError(u"Path not found");
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      throw RaisedError(u"Permission denied");
    case EEXIST:
      throw RaisedError(u"File already exists");
    default:
      throw RaisedError(FromUtf8(std::strerror(error)));
  }
}

}  // namespace vintrel
