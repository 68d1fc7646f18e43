// A POSIX name lasts through a power cut only once its folder is flushed: the copy's file
// layer flushes it after naming the copy, and the platform's file system after each rename.
#pragma once

#include <string>

namespace vintrel::jet {

// Flushes the directory entry of `path` (after it was created or renamed). Raises JetError
// "Could not open the directory of '<path>': …" or "Could not flush the directory of …".
void SyncDirectoryOf(const std::string& path);

}  // namespace vintrel::jet
