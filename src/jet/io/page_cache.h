// A bounded cache of decoded pages over a PageSource. Pages are handed out as shared
// pointers, so a page in use stays valid after the cache has dropped it (as long as the
// source lives: plain pages view the source's bytes and keep what holds them, only encoded
// ones are copied to be decoded); the cache itself never holds more than its capacity,
// whatever the size of the file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "jet/coding.h"
#include "jet/format.h"
#include "jet/io/page_source.h"
#include "jet/io/recent_cache.h"

namespace vintrel::jet {

class Page {
 public:
  // A page viewing bytes of a PageSource, which must outlive it, or its own decoded bytes,
  // which `bytes.keep` then holds.
  Page(uint32_t number, SourceBytes bytes) : number_(number), bytes_(bytes.bytes), keep_(std::move(bytes.keep)) {}
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  uint32_t number() const { return number_; }
  PageType type() const { return static_cast<PageType>(bytes_[0]); }
  ByteView View(const char* structure) const { return ByteView(bytes_, structure, number_); }

 private:
  uint32_t number_;
  std::span<const uint8_t> bytes_;
  std::shared_ptr<const void> keep_;
};

using PageRef = std::shared_ptr<const Page>;

class PageCache {
 public:
  // `database_key` non-zero means the pages after the first are RC4-encoded with it.
  PageCache(const PageSource& source, uint32_t page_size, uint32_t database_key,
            size_t capacity = 16);
  PageCache(const PageCache&) = delete;
  PageCache& operator=(const PageCache&) = delete;

  uint32_t page_count() const { return page_count_; }
  uint32_t page_size() const { return page_size_; }

  // Raises a JetError naming `structure` when the page lies beyond the end of the file.
  PageRef Get(uint32_t number, const char* structure);
  // As Get, and also checks the page's type byte.
  PageRef GetTyped(uint32_t number, PageType type, const char* structure);

 private:
  const PageSource& source_;
  uint32_t page_size_;
  uint32_t database_key_;
  uint32_t page_count_;
  RecentCache<uint32_t, PageRef> recent_;
};

}  // namespace vintrel::jet
