#include "jet/io/page_cache.h"

#include <string>

#include "jet/rc4.h"

namespace vintrel::jet {

PageCache::PageCache(const PageSource& source, uint32_t page_size, uint32_t database_key,
                     size_t capacity)
    : source_(source),
      page_size_(page_size),
      database_key_(database_key),
      page_count_(static_cast<uint32_t>(std::min<uint64_t>(source.size() / page_size, UINT32_MAX))),
      capacity_(capacity) {}

PageRef PageCache::Get(uint32_t number, const char* structure) {
  auto found = by_number_.find(number);
  if (found != by_number_.end()) {
    recent_.splice(recent_.begin(), recent_, found->second);
    return *found->second;
  }
  if (number >= page_count_) {
    RaiseDamaged(structure, number,
                 "the page lies beyond the end of the file (" + std::to_string(page_count_) +
                     " pages)");
  }
  SourceBytes stored = source_.Bytes(static_cast<uint64_t>(number) * page_size_, page_size_);
  PageRef page;
  if (database_key_ != 0 && number > 0) {
    std::vector<uint8_t> bytes(stored.bytes.begin(), stored.bytes.end());
    uint32_t key = database_key_ ^ number;
    uint8_t key_bytes[4] = {static_cast<uint8_t>(key), static_cast<uint8_t>(key >> 8),
                            static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 24)};
    ApplyRc4(key_bytes, bytes);
    page = std::make_shared<const Page>(number, std::move(bytes));
  } else {
    page = std::make_shared<const Page>(number, std::move(stored));
  }
  recent_.push_front(page);
  by_number_[number] = recent_.begin();
  if (recent_.size() > capacity_) {
    by_number_.erase(recent_.back()->number());
    recent_.pop_back();
  }
  return page;
}

PageRef PageCache::GetTyped(uint32_t number, PageType type, const char* structure) {
  PageRef page = Get(number, structure);
  if (page->type() != type) {
    RaiseDamaged(structure, number,
                 "the page has type " + std::to_string(static_cast<int>(page->type())) +
                     ", expected " + std::to_string(static_cast<int>(type)));
  }
  return page;
}

}  // namespace vintrel::jet
