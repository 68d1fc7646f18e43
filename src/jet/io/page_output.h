// The destination file, written a page at a time by page number. Page numbers are handed
// out in increasing order; numbers placed up front (the definition pages, whose numbers
// are the tables' ids) are reserved and skipped. Memory is the reserved set only, whatever
// the size of the database.
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "jet/io/file_io.h"

namespace vintrel::jet {

class PageOutput {
 public:
  // Takes over `file`, new and empty, open for writing; `path` names it in errors.
  PageOutput(Descriptor file, const std::string& path, uint32_t page_size);
  PageOutput(const PageOutput&) = delete;
  PageOutput& operator=(const PageOutput&) = delete;

  uint32_t page_size() const { return page_size_; }
  const std::string& path() const { return path_; }

  void Reserve(uint32_t number) { reserved_.insert(number); }
  // The lowest page number neither handed out nor reserved.
  uint32_t Allocate();
  // `bytes` is one whole page. It may reach the file only when a later page does not
  // follow it or at Finish.
  void Write(uint32_t number, std::span<const uint8_t> bytes);

  uint32_t page_count() const;
  // Sizes the file to its page count (pages never written read as zeros), flushes it to
  // disk and closes it.
  void Finish();

 private:
  void WritePending();

  std::string path_;
  Descriptor file_;
  uint32_t page_size_;
  std::set<uint32_t> reserved_;
  uint32_t next_ = 0;
  // Consecutive pages are gathered and written together, up to kPendingLimit bytes.
  static constexpr size_t kPendingLimit = size_t{1} << 20;
  std::vector<uint8_t> pending_;
  uint32_t pending_first_ = 0;
};

}  // namespace vintrel::jet
