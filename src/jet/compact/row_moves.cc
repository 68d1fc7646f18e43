// Translate sorts its requests so that the sorted pairs are met once, front to back.
#include "jet/compact/row_moves.h"

#include <algorithm>
#include <numeric>

namespace vintrel::jet {

RowMoves::RowMoves(std::string directory, size_t memory_pairs)
    : sorter_(directory, memory_pairs * sizeof(Pair)), sorted_(directory) {}

void RowMoves::Add(uint32_t from, uint32_t to) {
  sorter_.Add(Pair{from, to});
  ++count_;
}

void RowMoves::Sort() {
  if (!sorter_.spilled()) {
    in_memory_ = sorter_.SortHeld().records();
    auto found = std::adjacent_find(in_memory_.begin(), in_memory_.end(),
                                    [](const Pair& a, const Pair& b) { return a.from == b.from; });
    if (found != in_memory_.end()) repeated_source_ = found->from;
    return;
  }
  RunWriter<Pairs> writer(sorted_);
  std::optional<uint32_t> previous;
  sorter_.Drain([&](const Pair& pair) {
    if (previous == pair.from && !repeated_source_) repeated_source_ = pair.from;
    previous = pair.from;
    writer.Add(pair);
  });
  writer.Finish();
}

std::optional<uint32_t> RowMoves::Translate(std::vector<uint32_t>& pointers) {
  std::vector<size_t> order(pointers.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return pointers[a] < pointers[b]; });
  if (sorted_.size() == 0) {  // nothing was spilled
    auto from = in_memory_.begin();
    for (size_t i : order) {
      const Pair wanted{pointers[i], 0};
      // Galloping from the last pair found: adjacent when the requests are dense, a binary
      // search over a range that doubles when they are sparse.
      auto below = from;
      size_t step = 1;
      while (from != in_memory_.end() && *from < wanted) {
        below = from;
        from += static_cast<ptrdiff_t>(std::min<size_t>(step, in_memory_.end() - from));
        step *= 2;
      }
      from = std::lower_bound(below, from, wanted);
      if (from == in_memory_.end() || from->from != pointers[i]) return pointers[i];
      pointers[i] = from->to;
    }
    return std::nullopt;
  }
  // One pass over the sorted file, merged with the sorted requests.
  RunReader<Pairs> reader(sorted_, 0, sorted_.size());
  std::span<const uint8_t> buffered;
  size_t next = 0;
  Pair pair;
  for (size_t i : order) {
    const uint32_t wanted = pointers[i];
    while (true) {
      if (next == buffered.size()) {
        buffered = reader.TakeBuffered();
        next = 0;
        if (buffered.empty()) return wanted;
      }
      pair = Pairs::Read(buffered.data() + next);
      if (pair.from >= wanted) break;
      next += sizeof(Pair);
    }
    if (pair.from != wanted) return wanted;
    pointers[i] = pair.to;
  }
  return std::nullopt;
}

}  // namespace vintrel::jet
