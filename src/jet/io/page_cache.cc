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
      recent_(capacity) {}

PageRef PageCache::Get(uint32_t number, const char* structure) {
  if (const PageRef* cached = recent_.Find(number)) return *cached;
  if (number >= page_count_) {
    RaiseDamaged(structure, number,
                 "the page lies beyond the end of the file (" + std::to_string(page_count_) +
                     " pages)");
  }
  SourceBytes stored = source_.Bytes(static_cast<uint64_t>(number) * page_size_, page_size_);
  if (database_key_ != 0 && number > 0) {
    auto decoded = std::make_shared<std::vector<uint8_t>>(stored.bytes.begin(), stored.bytes.end());
    uint32_t key = database_key_ ^ number;
    uint8_t key_bytes[4] = {static_cast<uint8_t>(key), static_cast<uint8_t>(key >> 8),
                            static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 24)};
    ApplyRc4(key_bytes, *decoded);
    stored = {*decoded, std::move(decoded)};
  }
  return recent_.Add(number, std::make_shared<const Page>(number, std::move(stored)));
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
