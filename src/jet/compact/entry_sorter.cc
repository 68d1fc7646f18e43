#include "jet/compact/entry_sorter.h"

#include <algorithm>
#include <string>

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {
constexpr size_t kComputedEntriesMemory = size_t{16} << 20;
size_t computed_entries_memory = kComputedEntriesMemory;
}  // namespace

size_t ComputedEntriesMemory() { return computed_entries_memory; }

ComputedEntriesMemoryForTesting::ComputedEntriesMemoryForTesting(size_t bytes) { computed_entries_memory = bytes; }

ComputedEntriesMemoryForTesting::~ComputedEntriesMemoryForTesting() {
  computed_entries_memory = kComputedEntriesMemory;
}

void ByteStrings::Write(Record record, std::vector<uint8_t>& out) {
  const uint16_t length = static_cast<uint16_t>(record.size());
  const auto* length_bytes = reinterpret_cast<const uint8_t*>(&length);
  out.insert(out.end(), length_bytes, length_bytes + kSizeBytes);
  out.insert(out.end(), record.begin(), record.end());
}

void ByteStrings::Hold(Record record) {
  if (record.size() > kLongest) {
    throw UnsupportedError("An index entry of " + std::to_string(record.size()) + " bytes is too long.");
  }
  entries_.emplace_back(bytes_.size(), record.size());
  bytes_.insert(bytes_.end(), record.begin(), record.end());
}

void ByteStrings::Sort() {
  const Record bytes(bytes_);
  std::sort(entries_.begin(), entries_.end(), [&bytes](const auto& a, const auto& b) {
    return Less(bytes.subspan(a.first, a.second), bytes.subspan(b.first, b.second));
  });
}

void ByteStrings::Clear() {
  bytes_.clear();
  entries_.clear();
}

}  // namespace vintrel::jet
