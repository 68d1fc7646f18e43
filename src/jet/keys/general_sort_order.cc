// The table (general_sort_order_table.h) is text, runs of equal or successive codes, so that
// it stays small and can be read in review beside its source. Each of its sections is parsed at
// compile time, and the runs joined into one constant array, so a malformed or misplaced line
// stops the build and never reaches a run; a character's code is found by a binary search for
// the run holding it, once for each block of 256 characters that text meets.
#include "jet/keys/general_sort_order.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include "jet/keys/general_sort_order_table.h"

namespace vintrel::jet {
namespace {

constexpr size_t kPlaneSize = 0x10000;
// Sort bytes never hold 00 or 01, so successive codes count in base 254 from 02.
constexpr unsigned kLowestSortByte = 0x02;
constexpr unsigned kSortByteValues = 0x100 - kLowestSortByte;

// Characters from `first` up to the next run's first.
struct Run {
  char16_t first;
  bool known;       // false where the characters have no code (the surrogates)
  bool successive;  // each character's first bytes one more than the character's before
  SortCode code;    // of the first character
};

constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw "not a hex digit in the sort order table";
}

constexpr size_t ParseNumber(std::string_view digits, size_t base) {
  if (digits.empty()) throw "a number is missing in the sort order table";
  size_t value = 0;
  for (char digit : digits) {
    const size_t d = static_cast<size_t>(HexDigit(digit));
    if (d >= base) throw "not a decimal digit in a count of the sort order table";
    value = value * base + d;
  }
  return value;
}

// Parses hex digits into `out` from `at`; returns the count of bytes.
constexpr uint8_t ParseBytes(std::string_view digits, std::array<uint8_t, 4>& out, size_t at) {
  const size_t count = (digits.size() + 1) / 2;
  if (digits.empty() || at + count > out.size()) throw "bad byte count in the sort order table";
  size_t digit = 0;
  for (size_t i = 0; i < count; ++i) {
    int value = 0;
    const size_t width = (i == 0 && digits.size() % 2 == 1) ? 1 : 2;
    for (size_t k = 0; k < width; ++k) value = value * 16 + HexDigit(digits[digit++]);
    out[at + i] = static_cast<uint8_t>(value);
  }
  return static_cast<uint8_t>(count);
}

constexpr SortCode ParseCode(std::string_view text) {
  SortCode code{SortCode::Kind::kIgnored, 0, 0, false, {}};
  const std::string_view rest = text.substr(1);
  switch (text[0]) {
    case 'X':
      if (!rest.empty()) throw "bad ignored code in the sort order table";
      return code;
    case 'S':
      code.kind = SortCode::Kind::kSimple;
      code.sort_size = ParseBytes(rest, code.bytes, 0);
      return code;
    case 'I': {
      const size_t comma = rest.find(',');
      if (comma == std::string_view::npos) throw "international code without accent bytes";
      code.kind = SortCode::Kind::kInternational;
      code.sort_size = ParseBytes(rest.substr(0, comma), code.bytes, 0);
      code.extra_size = ParseBytes(rest.substr(comma + 1), code.bytes, code.sort_size);
      return code;
    }
    case 'U':
      code.kind = SortCode::Kind::kUnprintable;
      code.extra_size = ParseBytes(rest, code.bytes, 0);
      return code;
    case 'P':
      code.kind = SortCode::Kind::kModifier;
      code.extra_size = ParseBytes(rest, code.bytes, 0);
      if (code.extra_size != 1) throw "a modifier is one byte";
      return code;
    case 'Z': {
      const size_t first = rest.find(','), second = rest.find(',', first + 1);
      if (second == std::string_view::npos ||
          rest.find(',', second + 1) != std::string_view::npos) {
        throw "a kana code has three parts";
      }
      const std::string_view accent = rest.substr(first + 1, second - first - 1);
      const std::string_view small = rest.substr(second + 1);
      if (!small.empty() && small != "1") throw "a kana's size is 1 or nothing";
      code.kind = SortCode::Kind::kKana;
      code.sort_size = ParseBytes(rest.substr(0, first), code.bytes, 0);
      code.extra_size = accent.empty() ? 0 : ParseBytes(accent, code.bytes, code.sort_size);
      code.small = !small.empty();
      return code;
    }
  }
  throw "unknown kind of code in the sort order table";
}

// The bytes a run of successive codes counts up: the sort bytes, or an unprintable's or a
// modifier's value.
constexpr size_t CountedSize(const SortCode& code) {
  return code.sort_size != 0 ? code.sort_size : code.extra_size;
}

// Moves `code` `steps` codes on in a run of successive codes; false when its bytes cannot hold
// the result.
constexpr bool Advance(SortCode& code, size_t steps) {
  for (size_t i = CountedSize(code); i-- > 0 && steps != 0;) {
    const size_t value = code.bytes[i] - kLowestSortByte + steps;
    code.bytes[i] = static_cast<uint8_t>(kLowestSortByte + value % kSortByteValues);
    steps = value / kSortByteValues;
  }
  return steps == 0;
}

// Reads one code and its count (1, or n after *n or +n) into `run`; returns the count.
constexpr size_t ParseItem(std::string_view item, Run& run) {
  const size_t op = item.find_first_of("*+");
  const std::string_view code = item.substr(0, op);
  const size_t count = op == std::string_view::npos ? 1 : ParseNumber(item.substr(op + 1), 10);
  if (op != std::string_view::npos && count < 2) throw "a run of the sort order table is too short";
  run.known = code != "-";
  run.successive = op != std::string_view::npos && item[op] == '+';
  run.code = run.known ? ParseCode(code) : SortCode{};
  if (run.successive) {
    SortCode last = run.code;
    for (size_t i = 0; i < CountedSize(last); ++i) {
      if (last.bytes[i] < kLowestSortByte) throw "a byte 00 or 01 in a run of successive codes";
    }
    if (!run.known || CountedSize(last) == 0 || !Advance(last, count - 1)) {
      throw "a run of successive codes runs past its bytes";
    }
  }
  return count;
}

// Checks the lines of `text`, the first of which starts at `first`, and hands each run to
// `take`, in order; returns the code point after the last character.
template <typename Take>
constexpr size_t ReadRuns(std::string_view text, size_t first, Take take) {
  size_t next = first;  // the code point of the next character
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    const size_t space = line.find(' ');
    if (space != 4 || ParseNumber(line.substr(0, 4), 16) != next) {
      throw "a line of the sort order table does not start where the one before ended";
    }
    line.remove_prefix(space + 1);
    while (!line.empty()) {
      const size_t gap = line.find(' ');
      Run run{static_cast<char16_t>(next), true, false, {}};
      next += ParseItem(line.substr(0, gap), run);
      if (next > kPlaneSize) throw "the sort order table runs past the plane";
      take(run);
      line = gap == std::string_view::npos ? std::string_view() : line.substr(gap + 1);
    }
  }
  return next;
}

// Where a section of the table starts and ends, and how many runs it holds.
struct Extent {
  size_t first;
  size_t end;
  size_t runs;
};

constexpr Extent Measure(size_t section, size_t first) {
  Extent extent{first, first, 0};
  extent.end = ReadRuns(kGeneralSortOrderTable[section], first,
                        [&extent](const Run&) { ++extent.runs; });
  return extent;
}

// Each section starts where the one before ends, the first at U+0000.
template <size_t kSection>
constexpr Extent kExtent = [] {
  if constexpr (kSection == 0) {
    return Measure(0, 0);
  } else {
    return Measure(kSection, kExtent<kSection - 1>.end);
  }
}();

template <size_t kSection>
constexpr std::array<Run, kExtent<kSection>.runs> ParseSection() {
  std::array<Run, kExtent<kSection>.runs> runs{};
  size_t at = 0;
  ReadRuns(kGeneralSortOrderTable[kSection], kExtent<kSection>.first,
           [&](const Run& run) { runs[at++] = run; });
  return runs;
}

template <size_t kSection>
constexpr auto kSectionRuns = ParseSection<kSection>();

template <size_t... kSections>
constexpr auto JoinSections(std::index_sequence<kSections...>) {
  if (kExtent<sizeof...(kSections) - 1>.end != kPlaneSize) {
    throw "the sort order table ends before the plane does";
  }
  std::array<Run, (kExtent<kSections>.runs + ...)> runs{};
  auto at = runs.begin();
  ((at = std::copy(kSectionRuns<kSections>.begin(), kSectionRuns<kSections>.end(), at)), ...);
  return runs;
}

constexpr auto kRuns = JoinSections(std::make_index_sequence<kGeneralSortOrderTable.size()>());

// The run holding a character: the last run starting at or before it. The first run starts
// at U+0000, so every character is in one.
constexpr size_t RunIndex(size_t from, size_t to, char16_t c) {
  return static_cast<size_t>(std::upper_bound(kRuns.begin() + from, kRuns.begin() + to, c,
                                              [](char16_t c, const Run& r) { return c < r.first; }) -
                             kRuns.begin()) - 1;
}

// Keys are computed for every row of every text index a compaction copies, so the search is
// narrowed first by the character's high byte: the runs holding the 256 characters of a block.
constexpr size_t kBlocks = 256;
constexpr std::array<uint16_t, kBlocks + 1> kBlockRuns = [] {
  std::array<uint16_t, kBlocks + 1> first{};
  for (size_t block = 0; block < kBlocks; ++block) {
    first[block] = static_cast<uint16_t>(RunIndex(0, kRuns.size(), static_cast<char16_t>(block << 8)));
  }
  first[kBlocks] = static_cast<uint16_t>(kRuns.size() - 1);
  return first;
}();

std::optional<SortCode> SearchRuns(char16_t c) {
  const size_t block = c >> 8;
  const Run& run = kRuns[RunIndex(kBlockRuns[block], kBlockRuns[block + 1] + size_t{1}, c)];
  if (!run.known) return std::nullopt;
  SortCode code = run.code;
  if (run.successive) Advance(code, c - run.first);
  return code;
}

// Text mostly stays within a few blocks, so each block's codes are worked out once, when a
// character of it is first asked for, and then looked up directly.
using BlockCodes = std::array<std::optional<SortCode>, 0x100>;

const BlockCodes& CodesOfBlock(size_t block) {
  static std::array<std::once_flag, kBlocks> filled;
  static std::array<std::unique_ptr<const BlockCodes>, kBlocks> blocks;
  std::call_once(filled[block], [block] {
    auto codes = std::make_unique<BlockCodes>();
    for (size_t c = 0; c < codes->size(); ++c) (*codes)[c] = SearchRuns(static_cast<char16_t>(block << 8 | c));
    blocks[block] = std::move(codes);
  });
  return *blocks[block];
}

}  // namespace

std::optional<SortCode> FindGeneralSortCode(char16_t c) { return CodesOfBlock(c >> 8)[c & 0xFF]; }

}  // namespace vintrel::jet
