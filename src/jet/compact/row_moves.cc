// Pairs are spilled as raw (source, copy) structs in host byte order: the scratch files are
// unnamed and last only as long as the copy, so they need no portable form. Runs are merged by
// a linear scan over their cursors, as a table spills only a few runs. Translate sorts its
// requests so that the sorted file is read once, front to back.
#include "jet/compact/row_moves.h"

#include <algorithm>
#include <numeric>
#include <span>

namespace vintrel::jet {
namespace {
constexpr size_t kReadBufferPairs = 8192;
}  // namespace

RowMoves::RowMoves(std::string directory, size_t memory_pairs)
    : directory_(std::move(directory)), memory_pairs_(std::max<size_t>(memory_pairs, 1)) {}

void RowMoves::WritePairs(const Descriptor& file, const Pair* pairs, size_t count, uint64_t at) {
  WriteExactly(file.get(), at * sizeof(Pair),
               std::span(reinterpret_cast<const uint8_t*>(pairs), count * sizeof(Pair)), ScratchSubject());
}

size_t RowMoves::ReadPairs(const Descriptor& file, Pair* pairs, size_t count, uint64_t at) const {
  return ReadUpTo(file.get(), at * sizeof(Pair), std::span(reinterpret_cast<uint8_t*>(pairs), count * sizeof(Pair)),
                  ScratchSubject()) /
         sizeof(Pair);
}

std::string RowMoves::ScratchSubject() const { return "a scratch file in '" + directory_ + "'"; }

void RowMoves::Add(uint32_t from, uint32_t to) {
  memory_.emplace_back(from, to);
  ++count_;
  if (memory_.size() >= memory_pairs_) SpillRun();
}

void RowMoves::SpillRun() {
  if (!runs_file_.valid()) runs_file_ = CreateScratchFile(directory_);
  std::sort(memory_.begin(), memory_.end());
  const uint64_t first = runs_.empty() ? 0 : runs_.back().first + runs_.back().second;
  WritePairs(runs_file_, memory_.data(), memory_.size(), first);
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
    size_t got = ReadPairs(runs_file_, cursor.buffer.data(), cursor.buffer.size(), runs_[r].first + cursor.read);
    cursor.buffer.resize(got);
    cursor.read += got;
    cursor.next = 0;
    return got > 0;
  };
  std::vector<size_t> live;
  for (size_t r = 0; r < runs_.size(); ++r) {
    if (refill(r)) live.push_back(r);
  }
  sorted_ = CreateScratchFile(directory_);
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
      WritePairs(sorted_, out.data(), out.size(), written);
      written += out.size();
      out.clear();
    }
    if (cursor.next == cursor.buffer.size() && !refill(live[best])) live.erase(live.begin() + static_cast<ptrdiff_t>(best));
  }
  WritePairs(sorted_, out.data(), out.size(), written);
  runs_file_ = Descriptor();
  return twice;
}

std::optional<uint32_t> RowMoves::Translate(std::vector<uint32_t>& pointers) {
  std::vector<size_t> order(pointers.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return pointers[a] < pointers[b]; });
  if (!sorted_.valid()) {
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
        held = ReadPairs(sorted_, buffer.data(), buffer.size(), read);
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
