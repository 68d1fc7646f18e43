#include "jet/compact/row_moves.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {
constexpr size_t kReadBufferPairs = 8192;
}  // namespace

RowMoves::RowMoves(std::string directory, size_t memory_pairs)
    : directory_(std::move(directory)), memory_pairs_(std::max<size_t>(memory_pairs, 1)) {}

RowMoves::~RowMoves() {
  if (runs_fd_ >= 0) ::close(runs_fd_);
  if (sorted_fd_ >= 0) ::close(sorted_fd_);
}

int RowMoves::CreateSpillFile() {
  std::string path = directory_ + "/.vintrel-rows-XXXXXX";
  int fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) {
    throw JetError("Could not create a scratch file in '" + directory_ + "': " + std::strerror(errno) + ".");
  }
  ::unlink(path.c_str());
  return fd;
}

void RowMoves::WritePairs(int fd, const Pair* pairs, size_t count, uint64_t at) {
  const char* bytes = reinterpret_cast<const char*>(pairs);
  size_t size = count * sizeof(Pair), done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(at * sizeof(Pair) + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw JetError("Could not write a scratch file in '" + directory_ + "': " + std::strerror(errno) + ".");
    done += static_cast<size_t>(n);
  }
}

size_t RowMoves::ReadPairs(int fd, Pair* pairs, size_t count, uint64_t at) const {
  char* bytes = reinterpret_cast<char*>(pairs);
  size_t size = count * sizeof(Pair), done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, bytes + done, size - done, static_cast<off_t>(at * sizeof(Pair) + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw JetError("Could not read a scratch file in '" + directory_ + "': " + std::strerror(errno) + ".");
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done / sizeof(Pair);
}

void RowMoves::Add(uint32_t from, uint32_t to) {
  memory_.emplace_back(from, to);
  ++count_;
  if (memory_.size() >= memory_pairs_) SpillRun();
}

void RowMoves::SpillRun() {
  if (runs_fd_ < 0) runs_fd_ = CreateSpillFile();
  std::sort(memory_.begin(), memory_.end());
  const uint64_t first = runs_.empty() ? 0 : runs_.back().first + runs_.back().second;
  WritePairs(runs_fd_, memory_.data(), memory_.size(), first);
  runs_.emplace_back(first, memory_.size());
  memory_.clear();
}

std::optional<uint32_t> RowMoves::Seal() {
  if (runs_.empty()) {
    std::sort(memory_.begin(), memory_.end());
    auto twice = std::adjacent_find(memory_.begin(), memory_.end(),
                                    [](const Pair& a, const Pair& b) { return a.first == b.first; });
    if (twice != memory_.end()) return twice->first;
    return std::nullopt;
  }
  if (!memory_.empty()) SpillRun();
  memory_.shrink_to_fit();
  // A k-way merge of the runs, each read through a small buffer.
  struct Cursor {
    std::vector<Pair> buffer;
    size_t next = 0;
    uint64_t read = 0;  // pairs of the run read so far
  };
  std::vector<Cursor> cursors(runs_.size());
  auto refill = [&](size_t r) {
    Cursor& cursor = cursors[r];
    const uint64_t left = runs_[r].second - cursor.read;
    cursor.buffer.resize(std::min<uint64_t>(left, kReadBufferPairs));
    size_t got = ReadPairs(runs_fd_, cursor.buffer.data(), cursor.buffer.size(), runs_[r].first + cursor.read);
    cursor.buffer.resize(got);
    cursor.read += got;
    cursor.next = 0;
    return got > 0;
  };
  std::vector<size_t> live;
  for (size_t r = 0; r < runs_.size(); ++r) {
    if (refill(r)) live.push_back(r);
  }
  sorted_fd_ = CreateSpillFile();
  std::vector<Pair> out;
  uint64_t written = 0;
  std::optional<uint32_t> previous, twice;
  while (!live.empty()) {
    size_t best = 0;
    for (size_t i = 1; i < live.size(); ++i) {
      const Cursor& a = cursors[live[i]];
      const Cursor& b = cursors[live[best]];
      if (a.buffer[a.next] < b.buffer[b.next]) best = i;
    }
    Cursor& cursor = cursors[live[best]];
    const Pair pair = cursor.buffer[cursor.next++];
    if (previous == pair.first && !twice) twice = pair.first;
    previous = pair.first;
    out.push_back(pair);
    if (out.size() == kReadBufferPairs) {
      WritePairs(sorted_fd_, out.data(), out.size(), written);
      written += out.size();
      out.clear();
    }
    if (cursor.next == cursor.buffer.size() && !refill(live[best])) live.erase(live.begin() + static_cast<ptrdiff_t>(best));
  }
  WritePairs(sorted_fd_, out.data(), out.size(), written);
  ::close(runs_fd_);
  runs_fd_ = -1;
  return twice;
}

std::optional<uint32_t> RowMoves::Translate(std::vector<uint32_t>& pointers) {
  std::vector<size_t> order(pointers.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return pointers[a] < pointers[b]; });
  if (sorted_fd_ < 0) {
    for (size_t i : order) {
      auto found = std::lower_bound(memory_.begin(), memory_.end(), Pair(pointers[i], 0));
      if (found == memory_.end() || found->first != pointers[i]) return pointers[i];
      pointers[i] = found->second;
    }
    return std::nullopt;
  }
  // One pass over the sorted file, merged with the sorted requests.
  std::vector<Pair> buffer(kReadBufferPairs);
  size_t held = 0, next = 0;
  uint64_t read = 0;
  for (size_t i : order) {
    const uint32_t wanted = pointers[i];
    while (true) {
      if (next == held) {
        held = ReadPairs(sorted_fd_, buffer.data(), buffer.size(), read);
        read += held;
        next = 0;
        if (held == 0) return wanted;
      }
      if (buffer[next].first >= wanted) break;
      ++next;
    }
    if (buffer[next].first != wanted) return wanted;
    pointers[i] = buffer[next].second;
  }
  return std::nullopt;
}

}  // namespace vintrel::jet
