// The destination file, written a page at a time by page number. Page numbers are handed
// out in increasing order; numbers placed up front (the definition pages, whose numbers
// are the tables' ids) are reserved and skipped. Memory is the reserved set and a window
// of pages not yet written, whatever the size of the database. A page past the file's size
// limit is refused before it is handed out.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>

#include "jet/format.h"
#include "jet/io/file_io.h"
#include "jet/io/present_memory.h"

namespace vintrel::jet {

class PageOutput {
 public:
  // Takes over `file`, new and empty, open for writing; `path` names it in errors. Raises
  // "The compacted copy '<path>' would be larger than <max_bytes>, the most a Jet 4
  // database can hold." for a page that would end past `max_bytes`.
  PageOutput(Descriptor file, const std::string& path, uint32_t page_size,
             uint64_t max_bytes = kJet4MaxFileBytes);
  PageOutput(const PageOutput&) = delete;
  PageOutput& operator=(const PageOutput&) = delete;

  uint32_t page_size() const { return page_size_; }
  const std::string& path() const { return path_; }

  void Reserve(uint32_t number);
  // The lowest page number neither handed out nor reserved.
  uint32_t Allocate();
  // Where the pages of a part of the copy start, so that the part can be written again.
  uint32_t Mark() const { return next_; }
  // Hands out the pages from `mark` on once more, as a part written since is given up.
  // Every page handed out is written before Finish, so what the given-up part wrote there
  // is overwritten or, past the last page, cut off.
  void Rewind(uint32_t mark) { next_ = mark; }
  // `bytes` is one whole page. It may reach the file only when a page beyond the window
  // is written, or at Finish.
  void Write(uint32_t number, std::span<const uint8_t> bytes);

  uint32_t page_count() const;
  // Sizes the file to its page count (pages never written read as zeros), starts writing
  // it to disk and closes it. Waiting for the disk is left to the file's owner
  // (TemporaryFile::Publish), so that the disk works while the copy is read back.
  void Finish();

 private:
  void WriteWindow();
  void RequireWithinLimit(uint32_t number) const;

  std::string path_;
  Descriptor file_;
  uint32_t page_size_;
  uint64_t max_bytes_;
  std::set<uint32_t> reserved_;
  uint32_t next_ = 0;
  // Pages are written nearly in order, so they are gathered in a window of kWindowSize
  // bytes from page window_first_ and written in one call: few large writes cost the kernel
  // far less than many single pages, and a window that stays in the processor's cache
  // until it is written costs less than a larger one. Pages never written before the
  // window's last one are written as zeros, which is what they read as anyway until a later
  // write replaces them; a page below the window is written at once.
  static constexpr size_t kWindowSize = size_t{1} << 20;
  std::optional<PresentMemory> window_;
  uint32_t window_first_ = 0;
  size_t window_used_ = 0;  // bytes, up to the end of the highest page written there
};

}  // namespace vintrel::jet
