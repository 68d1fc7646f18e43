// Records put in order in bounded memory, for what grows with a table during its copy. They
// are held in memory up to a budget; beyond it they are spilled in sorted runs to an unnamed
// scratch file beside the copy, and merged as they are taken. A layout says how records are
// held, ordered and written: FixedSizeRecords here, ByteStrings (entry_sorter.h). Written
// records are in host byte order: a scratch file lasts only as long as the copy.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "jet/io/file_io.h"

namespace vintrel::jet {

// The scratch file that a sorter's runs are written to, one after another.
class RunFile {
 public:
  // The file is made in `directory` on the first write.
  explicit RunFile(std::string directory) : directory_(std::move(directory)) {}

  void Append(std::span<const uint8_t> bytes);
  uint64_t size() const { return size_; }
  // Reads bytes that were written: a file that ends before them is an error.
  void Read(uint64_t offset, std::span<uint8_t> out) const;
  // Closes the file, whose runs are then gone.
  void Clear();

 private:
  std::string Subject() const;

  std::string directory_;
  Descriptor file_;
  uint64_t size_ = 0;
};

// Appends records to a RunFile through a buffer; Finish writes what the buffer holds.
template <class Layout>
class RunWriter {
 public:
  explicit RunWriter(RunFile& file) : file_(file) {}

  void Add(const typename Layout::Record& record) {
    Layout::Write(record, buffer_);
    if (buffer_.size() >= kBuffer) Finish();
  }
  void Finish() {
    file_.Append(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr size_t kBuffer = size_t{1} << 20;

  RunFile& file_;
  std::vector<uint8_t> buffer_;
};

// The bytes of one run, read through a small buffer.
class RunBytes {
 public:
  RunBytes(const RunFile& file, uint64_t begin, uint64_t end) : file_(&file), at_(begin), end_(end) {}

  // The next `count` bytes of the run, valid until the following call; null at the run's
  // end, and an error where it ends within them.
  const uint8_t* Peek(size_t count) { return held_ - next_ >= count ? buffer_.data() + next_ : Refill(count); }
  void Skip(size_t count) { next_ += count; }
  // The whole records of `size` bytes that the buffer holds from the next one on, skipped;
  // empty at the run's end.
  std::span<const uint8_t> TakeRecords(size_t size) {
    const uint8_t* first = Peek(size);
    if (!first) return {};
    const size_t count = (held_ - next_) / size * size;
    next_ += count;
    return std::span(first, count);
  }

 private:
  const uint8_t* Refill(size_t count);

  const RunFile* file_;
  uint64_t at_, end_;
  std::vector<uint8_t> buffer_;  // only grows, so that refilling it writes no zeros
  size_t held_ = 0;              // bytes of the run in buffer_
  size_t next_ = 0;
};

// Reads one run's records in order.
template <class Layout>
class RunReader {
 public:
  RunReader(const RunFile& file, uint64_t begin, uint64_t end) : bytes_(file, begin, end) {}

  // Sets `record` to the next one (a ByteStrings record is valid until the following call);
  // false at the run's end.
  bool Next(typename Layout::Record& record) {
    const uint8_t* written = bytes_.Peek(Layout::kSizeBytes);
    if (!written) return false;
    const size_t size = Layout::WrittenSize(written);
    if (size > Layout::kSizeBytes) written = bytes_.Peek(size);
    record = Layout::Read(written);
    bytes_.Skip(size);
    return true;
  }

  // The records the buffer holds from the next one on, taken, as written; empty at the run's
  // end. For fixed-size records, to be scanned in a loop whose cursor stays in registers.
  std::span<const uint8_t> TakeBuffered() { return bytes_.TakeRecords(Layout::kSizeBytes); }

 private:
  RunBytes bytes_;
};

// Records of a trivially copyable type ordered by its <, held in an array and written as
// their bytes.
template <class T>
class FixedSizeRecords {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  using Record = T;

  // The bytes of a written record that tell its size: here, all of them.
  static constexpr size_t kSizeBytes = sizeof(T);
  static size_t WrittenSize(const uint8_t*) { return sizeof(T); }
  static T Read(const uint8_t* written) {
    T record;
    std::memcpy(&record, written, sizeof(T));
    return record;
  }
  static void Write(const T& record, std::vector<uint8_t>& out) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    out.insert(out.end(), bytes, bytes + sizeof(T));
  }
  static bool Less(const T& a, const T& b) { return a < b; }

  void Hold(const T& record) { held_.push_back(record); }
  size_t held_bytes() const { return held_.size() * sizeof(T); }
  bool empty() const { return held_.empty(); }
  // Row moves of a table copied in storage order come in order already.
  void Sort() {
    if (!std::is_sorted(held_.begin(), held_.end())) std::sort(held_.begin(), held_.end());
  }
  // The held records, in order once sorted.
  std::span<const T> records() const { return held_; }
  template <class Take>
  void ForEach(Take take) const {
    for (const T& record : held_) take(record);
  }
  // Empties the array, keeping its memory for the next run.
  void Clear() { held_.clear(); }

 private:
  std::vector<T> held_;
};

template <class Layout>
class SpillingSorter {
 public:
  using Record = typename Layout::Record;

  // Spill files go into `directory`.
  SpillingSorter(std::string directory, size_t memory_bytes)
      : memory_bytes_(std::max<size_t>(memory_bytes, 1)), runs_file_(std::move(directory)) {}

  void Add(const Record& record) {
    held_.Hold(record);
    if (held_.held_bytes() >= memory_bytes_) SpillRun();
  }

  bool spilled() const { return !runs_.empty(); }

  // Sorts the records held in memory and gives them: every record, when none was spilled.
  const Layout& SortHeld() {
    held_.Sort();
    return held_;
  }

  // Hands every record to `take` in order, equal ones included, and empties the sorter.
  // Spilled runs are merged choosing the least head by a linear scan: a table spills few.
  template <class Take>
  void Drain(Take take) {
    if (runs_.empty()) {
      held_.Sort();
      held_.ForEach(take);
    } else {
      if (!held_.empty()) SpillRun();
      held_ = Layout();  // its memory is not needed for the merge
      std::vector<RunReader<Layout>> readers;
      readers.reserve(runs_.size());
      std::vector<Record> heads(runs_.size());
      std::vector<size_t> live;
      for (const auto& [begin, end] : runs_) {
        readers.emplace_back(runs_file_, begin, end);
        if (readers.back().Next(heads[readers.size() - 1])) live.push_back(readers.size() - 1);
      }
      while (!live.empty()) {
        size_t least = 0;
        for (size_t i = 1; i < live.size(); ++i) {
          if (Layout::Less(heads[live[i]], heads[live[least]])) least = i;
        }
        const size_t run = live[least];
        take(heads[run]);
        if (!readers[run].Next(heads[run])) live.erase(live.begin() + static_cast<ptrdiff_t>(least));
      }
    }
    held_ = Layout();
    runs_.clear();
    runs_file_.Clear();
  }

 private:
  void SpillRun() {
    held_.Sort();
    const uint64_t begin = runs_file_.size();
    RunWriter<Layout> writer(runs_file_);
    held_.ForEach([&writer](const Record& record) { writer.Add(record); });
    writer.Finish();
    runs_.emplace_back(begin, runs_file_.size());
    held_.Clear();
  }

  size_t memory_bytes_;
  Layout held_;
  RunFile runs_file_;
  std::vector<std::pair<uint64_t, uint64_t>> runs_;  // (begin, end) in runs_file_
};

}  // namespace vintrel::jet
