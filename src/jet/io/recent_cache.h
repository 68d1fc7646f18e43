// The values asked for last, by key, at most `capacity` of them (at least one): adding one
// more lets the least recently used go. For the page cache and the source's block cache,
// which hold 16 each: looking through so few in a row is quicker than hashing into a map and
// moving list nodes, and allocates nothing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vintrel::jet {

template <typename Key, typename Value>
class RecentCache {
 public:
  explicit RecentCache(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) { entries_.reserve(capacity_); }

  // The value cached under `key`, now the most recently used; null when there is none.
  const Value* Find(const Key& key) {
    for (Entry& entry : entries_) {
      if (entry.key == key) {
        entry.used = ++clock_;
        return &entry.value;
      }
    }
    return nullptr;
  }

  // Caches `value` under `key`, which Find did not find.
  const Value& Add(const Key& key, Value value) {
    if (entries_.size() < capacity_) {
      entries_.push_back({key, std::move(value), ++clock_});
      return entries_.back().value;
    }
    Entry& oldest = *std::min_element(entries_.begin(), entries_.end(),
                                      [](const Entry& a, const Entry& b) { return a.used < b.used; });
    oldest = {key, std::move(value), ++clock_};
    return oldest.value;
  }

 private:
  struct Entry {
    Key key;
    Value value;
    uint64_t used;  // the clock when last asked for
  };

  size_t capacity_;
  uint64_t clock_ = 0;
  std::vector<Entry> entries_;  // never beyond capacity_, so never moved
};

}  // namespace vintrel::jet
