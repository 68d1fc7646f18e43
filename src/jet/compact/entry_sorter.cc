// A spilled run is its entries in order, each as a 2-byte length (host byte order: the file
// is unnamed and lasts only as long as the copy) and its bytes. Runs are merged through a
// small buffer each, choosing the least current entry by a linear scan: a table spills only a
// few runs.
#include "jet/compact/entry_sorter.h"

#include <algorithm>
#include <cstring>

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {
constexpr size_t kReadBuffer = 64 * 1024;
constexpr size_t kWriteBuffer = 1024 * 1024;
constexpr size_t kLengthSize = 2;

bool Less(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

// Reads one run's entries in order.
class RunCursor {
 public:
  RunCursor(const Descriptor& file, uint64_t at, uint64_t size, const std::string& subject)
      : file_(file), at_(at), end_(at + size), subject_(subject) {}

  // The next entry, valid until the following call; empty once the run is done (an index
  // entry is never empty: it ends with its row pointer).
  std::span<const uint8_t> Next() {
    if (!Ensure(kLengthSize)) return {};
    uint16_t length;
    std::memcpy(&length, buffer_.data() + next_, kLengthSize);
    next_ += kLengthSize;
    if (!Ensure(length)) throw JetError("The data in " + subject_ + " ends inside an entry.");
    std::span<const uint8_t> entry(buffer_.data() + next_, length);
    next_ += length;
    return entry;
  }

 private:
  // Makes `count` bytes from next_ on available in the buffer; false at the run's end.
  bool Ensure(size_t count) {
    if (buffer_.size() - next_ >= count) return true;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(next_));
    next_ = 0;
    const size_t kept = buffer_.size();
    const size_t want = std::min<uint64_t>(std::max(count, kReadBuffer), end_ - at_);
    buffer_.resize(kept + want);
    const size_t got = ReadUpTo(file_.get(), at_, std::span(buffer_).subspan(kept), subject_);
    buffer_.resize(kept + got);
    at_ += got;
    return buffer_.size() >= count;
  }

  const Descriptor& file_;
  uint64_t at_, end_;
  const std::string& subject_;
  std::vector<uint8_t> buffer_;
  size_t next_ = 0;
};

}  // namespace

EntrySorter::EntrySorter(std::string directory, size_t memory_bytes)
    : directory_(std::move(directory)), memory_bytes_(std::max<size_t>(memory_bytes, 1)) {}

std::string EntrySorter::ScratchSubject() const { return "a scratch file in '" + directory_ + "'"; }

void EntrySorter::Add(std::span<const uint8_t> entry) {
  if (entry.size() > UINT16_MAX) {
    throw UnsupportedError("An index entry of " + std::to_string(entry.size()) + " bytes is too long.");
  }
  entries_.emplace_back(bytes_.size(), entry.size());
  bytes_.insert(bytes_.end(), entry.begin(), entry.end());
  if (bytes_.size() + entries_.size() * sizeof(entries_[0]) >= memory_bytes_) SpillRun();
}

void EntrySorter::SortMemory() {
  const std::span<const uint8_t> bytes(bytes_);
  std::sort(entries_.begin(), entries_.end(), [&bytes](const auto& a, const auto& b) {
    return Less(bytes.subspan(a.first, a.second), bytes.subspan(b.first, b.second));
  });
}

void EntrySorter::SpillRun() {
  if (!runs_file_.valid()) runs_file_ = CreateScratchFile(directory_);
  SortMemory();
  const uint64_t start = runs_.empty() ? 0 : runs_.back().first + runs_.back().second;
  uint64_t at = start;
  std::vector<uint8_t> buffer;
  auto flush = [&] {
    WriteExactly(runs_file_.get(), at, buffer, ScratchSubject());
    at += buffer.size();
    buffer.clear();
  };
  for (const auto& [offset, size] : entries_) {
    const uint16_t length = static_cast<uint16_t>(size);
    const auto* length_bytes = reinterpret_cast<const uint8_t*>(&length);
    buffer.insert(buffer.end(), length_bytes, length_bytes + kLengthSize);
    buffer.insert(buffer.end(), bytes_.begin() + static_cast<ptrdiff_t>(offset),
                  bytes_.begin() + static_cast<ptrdiff_t>(offset + size));
    if (buffer.size() >= kWriteBuffer) flush();
  }
  flush();
  runs_.emplace_back(start, at - start);
  bytes_.clear();
  entries_.clear();
}

void EntrySorter::Drain(const std::function<void(std::span<const uint8_t>)>& take) {
  if (runs_.empty()) {
    SortMemory();
    for (const auto& [at, size] : entries_) take(std::span(bytes_).subspan(at, size));
  } else {
    if (!entries_.empty()) SpillRun();
    const std::string subject = ScratchSubject();
    std::vector<RunCursor> cursors;
    std::vector<std::span<const uint8_t>> heads;
    for (const auto& [at, size] : runs_) cursors.emplace_back(runs_file_, at, size, subject);
    for (RunCursor& cursor : cursors) heads.push_back(cursor.Next());
    while (true) {
      size_t least = heads.size();
      for (size_t i = 0; i < heads.size(); ++i) {
        if (heads[i].empty()) continue;
        if (least == heads.size() || Less(heads[i], heads[least])) least = i;
      }
      if (least == heads.size()) break;
      take(heads[least]);
      heads[least] = cursors[least].Next();
    }
  }
  bytes_ = {};
  entries_ = {};
  runs_.clear();
  runs_file_ = Descriptor();
}

}  // namespace vintrel::jet
