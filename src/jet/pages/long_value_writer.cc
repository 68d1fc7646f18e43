// Values go onto the page being filled, so the small values of successive rows share pages. A
// chain starts on that page only when a useful piece (kMinChainPiece) still fits there. Each
// later piece is row 0 of a page that is allocated before the row pointing to it is added, so
// every link is known when its row is written.
#include "jet/pages/long_value_writer.h"

#include <algorithm>

#include "jet/coding.h"
#include "jet/jet_error.h"

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

// Copies a value's pieces into rows of other sizes.
class PieceCursor {
 public:
  explicit PieceCursor(LongValuePieces& value) : value_(value) {}
  void CopyTo(std::span<uint8_t> out) {
    while (!out.empty()) {
      if (piece_.empty() && !value_.Next(piece_)) throw JetError("A long value ended before its length.");
      const size_t take = std::min(piece_.size(), out.size());
      std::copy_n(piece_.begin(), take, out.begin());
      piece_ = piece_.subspan(take);
      out = out.subspan(take);
    }
  }

 private:
  LongValuePieces& value_;
  std::span<const uint8_t> piece_;
};

}  // namespace

LongValueWriter::LongValueWriter(const Format& format, PageOutput& output)
    : format_(format), output_(output) {}

void LongValueWriter::StartPage(uint32_t number) {
  Flush();
  if (page_) {
    page_->Reset(number, kLongValueOwner);
  } else {
    page_.emplace(format_, number, kLongValueOwner);
  }
  open_ = true;
  pages_.push_back(number);
}

void LongValueWriter::Flush() {
  if (!open_) return;
  output_.Write(page_->number(), page_->bytes());
  open_ = false;
}

std::optional<uint32_t> LongValueWriter::open_page() const {
  if (open_ && page_->Room() > 0) return page_->number();
  return std::nullopt;
}

LongValueHeader LongValueWriter::Write(std::span<const uint8_t> value) {
  LongValuePieces pieces(value);
  return Write(pieces);
}

LongValueHeader LongValueWriter::Write(LongValuePieces& value) {
  const size_t length = value.length();
  PieceCursor from(value);
  if (length <= MaxRowSize(format_)) {
    if (!open_ || !page_->Fits(length)) StartPage(output_.Allocate());
    from.CopyTo(page_->AddRow(length));
    return Header(kLongValueSinglePage, length,
                  PackRowPointer(page_->number(), static_cast<uint8_t>(page_->row_count() - 1)));
  }
  if (!open_ || page_->Room() < kChainPointerSize + kMinChainPiece) {
    StartPage(output_.Allocate());
  }
  const uint32_t first = PackRowPointer(page_->number(), static_cast<uint8_t>(page_->row_count()));
  size_t done = 0;
  while (done < length) {
    const size_t take = std::min(length - done, page_->Room() - kChainPointerSize);
    const bool last = done + take == length;
    const uint32_t next_page = last ? 0 : output_.Allocate();
    const std::span<uint8_t> row = page_->AddRow(kChainPointerSize + take);
    PutU32(row, 0, last ? 0 : PackRowPointer(next_page, 0));
    from.CopyTo(row.subspan(kChainPointerSize));
    done += take;
    if (!last) StartPage(next_page);
  }
  return Header(0, length, first);
}

void AppendInlineLongValue(std::span<const uint8_t> value, std::vector<uint8_t>& out) {
  const LongValueHeader header = Header(kLongValueInline, value.size(), 0);
  // Sized once and filled: GCC 12 at -O3 sees the header's array in a growing insert and
  // warns of a read past it (-Warray-bounds), falsely.
  const size_t at = out.size();
  out.resize(at + header.size() + value.size());
  std::copy(value.begin(), value.end(),
            std::copy(header.begin(), header.end(), out.begin() + static_cast<ptrdiff_t>(at)));
}

}  // namespace vintrel::jet
