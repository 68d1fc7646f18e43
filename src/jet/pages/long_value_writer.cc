// Values go onto the page being filled, so the small values of successive rows share pages. A
// chain starts on that page only when a useful piece (kMinChainPiece) still fits there. Each
// later piece is row 0 of a page that is allocated before the row pointing to it is added, so
// every link is known when its row is written.
#include "jet/pages/long_value_writer.h"

#include <algorithm>

#include "jet/coding.h"

namespace vintrel::jet {
namespace {
constexpr size_t kChainPointerSize = 4;
// A chain starts on the open page only when a useful piece fits there.
constexpr size_t kMinChainPiece = 256;

LongValueHeader Header(uint32_t flags, size_t length, uint32_t pointer) {
  LongValueHeader header{};
  PutU32(header, 0, flags | static_cast<uint32_t>(length));
  PutU32(header, 4, pointer);
  return header;
}
}  // namespace

LongValueWriter::LongValueWriter(const Format& format, PageOutput& output)
    : format_(format), output_(output) {}

DataPageBuilder& LongValueWriter::StartPage(uint32_t number) {
  Flush();
  page_.emplace(format_, number, kLongValueOwner);
  pages_.push_back(number);
  return *page_;
}

void LongValueWriter::Flush() {
  if (!page_) return;
  output_.Write(page_->number(), page_->bytes());
  page_.reset();
}

std::optional<uint32_t> LongValueWriter::open_page() const {
  if (page_ && page_->Room() > 0) return page_->number();
  return std::nullopt;
}

LongValueHeader LongValueWriter::Write(std::span<const uint8_t> value) {
  if (value.size() <= MaxRowSize(format_)) {
    if (!page_ || !page_->Fits(value.size())) StartPage(output_.Allocate());
    uint8_t row = page_->Add(value);
    return Header(kLongValueSinglePage, value.size(), PackRowPointer(page_->number(), row));
  }
  if (!page_ || page_->Room() < kChainPointerSize + kMinChainPiece) {
    StartPage(output_.Allocate());
  }
  const uint32_t first = PackRowPointer(page_->number(), static_cast<uint8_t>(page_->row_count()));
  std::vector<uint8_t> row;
  size_t done = 0;
  while (done < value.size()) {
    const size_t take = std::min(value.size() - done, page_->Room() - kChainPointerSize);
    const bool last = done + take == value.size();
    const uint32_t next_page = last ? 0 : output_.Allocate();
    row.assign(kChainPointerSize, 0);
    if (!last) PutU32(row, 0, PackRowPointer(next_page, 0));
    row.insert(row.end(), value.begin() + static_cast<ptrdiff_t>(done),
               value.begin() + static_cast<ptrdiff_t>(done + take));
    page_->Add(row);
    done += take;
    if (!last) StartPage(next_page);
  }
  return Header(0, value.size(), first);
}

std::vector<uint8_t> InlineLongValue(std::span<const uint8_t> value) {
  LongValueHeader header = Header(kLongValueInline, value.size(), 0);
  // Sized once and filled: GCC 12 at -O3 sees the header's array in the growing insert and
  // warns of a read past it (-Warray-bounds), falsely.
  std::vector<uint8_t> bytes(header.size() + value.size());
  std::copy(value.begin(), value.end(), std::copy(header.begin(), header.end(), bytes.begin()));
  return bytes;
}

}  // namespace vintrel::jet
