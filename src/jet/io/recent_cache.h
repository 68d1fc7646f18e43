// The values asked for last, by key, at most `capacity` of them (at least one): adding one
// more lets the least recently used go. For the page cache and the source's block cache.
#pragma once

#include <cstddef>
#include <list>
#include <unordered_map>
#include <utility>

namespace vintrel::jet {

template <typename Key, typename Value>
class RecentCache {
 public:
  explicit RecentCache(size_t capacity) : capacity_(capacity) {}

  // The value cached under `key`, now the most recently used; null when there is none.
  const Value* Find(const Key& key) {
    auto found = by_key_.find(key);
    if (found == by_key_.end()) return nullptr;
    recent_.splice(recent_.begin(), recent_, found->second);
    return &found->second->second;
  }

  // Caches `value` under `key`, which Find did not find.
  const Value& Add(const Key& key, Value value) {
    if (!recent_.empty() && recent_.size() >= capacity_) {
      by_key_.erase(recent_.back().first);
      recent_.pop_back();
    }
    recent_.emplace_front(key, std::move(value));
    by_key_[key] = recent_.begin();
    return recent_.front().second;
  }

 private:
  using Entry = std::pair<Key, Value>;

  size_t capacity_;
  std::list<Entry> recent_;  // most recently used first
  std::unordered_map<Key, typename std::list<Entry>::iterator> by_key_;
};

}  // namespace vintrel::jet
