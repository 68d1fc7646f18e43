// Builds a table's indexes after its rows have moved. Copied keys stay in the source's
// order, so most indexes stream through in batches; only the rows under one key need
// sorting again, since equal keys are ordered by row pointer. Keys that hold object ids
// change with the renumbering and are sorted anew. Keys computed from the rows come sorted
// from the row copy's sorters.
#include "jet/compact/index_rebuild.h"

#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "jet/compact/unique_keys.h"
#include "jet/jet_error.h"
#include "jet/keys/index_key.h"
#include "jet/pages/index_builder.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {
// Index entries translated to new row pointers at a time.
constexpr size_t kIndexBatch = 1 << 16;
// What follows the key in a computed entry: the new row pointer, then the source's.
constexpr size_t kComputedPointers = 8;

class IndexBuild {
 public:
  IndexBuild(const CopyContext& copy, CopiedRows& rows, RowMoves& moves)
      : copy_(copy), table_(copy.table), rows_(rows), moves_(moves) {}

  void Run(DefinitionBlock& block) {
    for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
      IndexBuilder builder(copy_.format, copy_.output, copy_.owner);
      if (rows_.computed[i]) {
        BuildComputed(i, builder);
      } else {
        // The survey read the tree's upper levels; damage met in its leaves now is repaired
        // as the survey's would have been.
        try {
          if (KeysIds(table_.real_indexes[i])) {
            CopyRenumberedIndex(i, builder);
          } else {
            CopyIndex(i, builder);
          }
        } catch (const DamagedError& damage) {
          throw IndexMismatch(i, damage.damage());
        }
      }
      if (!duplicates_.empty()) throw RowsToDrop(std::move(duplicates_));
      uint32_t root = builder.Finish();
      SetRealIndexFields(block, copy_.format, i, static_cast<uint32_t>(builder.entry_count()),
                         copy_.maps.AddMapOf(builder.pages()), root);
    }
  }

 private:
  bool KeysIds(const RealIndex& index) const {
    for (const IndexColumn& part : index.columns) {
      for (size_t c : copy_.id_columns) {
        if (table_.columns[c].number == part.column_number) return true;
      }
    }
    return false;
  }

  // The later of two rows with one key in a unique index is lost. A row the copy adds comes
  // after the source's, and cannot be left out: the copy would not be what was asked for.
  void Duplicate(size_t index, std::span<const uint8_t> key, uint32_t old_pointer) {
    const std::string reason = "its key is another row's in the unique index " + RealIndexName(table_, index);
    const std::vector<uint8_t> bytes(key.begin(), key.end());
    const std::optional<std::string> values = DescribeKey(table_, table_.real_indexes[index], bytes);
    if (IsAddedRow(old_pointer, copy_.added.size())) {
      RaiseDamaged("table definition", copy_.source_table.page,
                   "the row the copy adds to table " + ToUtf8(copy_.name) + " cannot be added: " + reason +
                       (values ? " (" + *values + ")" : ""));
    }
    const RowPointer at = RowPointer::FromU32(old_pointer);
    LostRows lost = NamedRows(copy_.source, copy_.source_table, at.page, at.row);
    lost.table = copy_.name;
    lost.reason = reason;
    if (values) lost.keys = {*values};
    if (!copy_.losses) throw RowsLostError(std::move(lost));
    copy_.losses->push_back(std::move(lost));
    duplicates_.push_back(old_pointer);
  }

  // Entries come in key order, ties by new pointer: a tie in a unique index is a duplicate.
  void Add(size_t index, IndexBuilder& builder, std::span<const uint8_t> key, uint32_t pointer, uint32_t old_pointer) {
    const RealIndex& real = table_.real_indexes[index];
    if (real.unique() && has_previous_ && std::equal(key.begin(), key.end(), previous_.begin(), previous_.end()) &&
        !IsAllNullKey(real, key)) {
      if (copy_.text) RaiseRepeatedKey(copy_, index, key);
      Duplicate(index, key, old_pointer);
      return;
    }
    if (real.unique()) {
      previous_.assign(key.begin(), key.end());
      has_previous_ = true;
    }
    entry_.assign(key.begin(), key.end());
    AppendEntryPointer(entry_, pointer);
    // A source index may name one row twice, or hold a key cut short that sorts wrongly.
    if (!builder.SortsAfterLast(entry_)) throw IndexMismatch(index, "its entries are out of order");
    builder.Add(entry_);
  }

  void Start() { has_previous_ = false; }

  void BuildComputed(size_t i, IndexBuilder& builder) {
    Start();
    rows_.computed[i]->Drain([&](std::span<const uint8_t> entry) {
      const std::span<const uint8_t> key = entry.first(entry.size() - kComputedPointers);
      const ByteView pointers(entry.last(kComputedPointers), "index entry", table_.page);
      Add(i, builder, key, pointers.BigU32(0), pointers.BigU32(4));
    });
  }

  // The entries copied as stored, translated, against what the rows' keys say they are.
  class Tally {
   public:
    void Count(const std::vector<uint8_t>& key, uint32_t pointer) {
      ++entries_;
      sum_ += EntryHash(key, pointer);
    }
    void RequireRowsKeys(size_t index, const KeySum& rows, uint64_t row_count, const RealIndex& real) const {
      if (!rows.unkeyed.empty()) {
        if (!real.ignores_nulls() && entries_ != row_count) {
          throw IndexMismatch(index, "it has " + std::to_string(entries_) + " entries for " +
                                         std::to_string(row_count) + " rows");
        }
        return;
      }
      if (entries_ != rows.entries) {
        throw IndexMismatch(index, "it has " + std::to_string(entries_) + " entries where the rows have " +
                                       std::to_string(rows.entries) + " keys");
      }
      if (sum_ != rows.sum) throw IndexMismatch(index, "its entries are not the keys of the table's rows");
    }

   private:
    uint64_t entries_ = 0;
    uint64_t sum_ = 0;
  };

  void Translate(size_t index, std::vector<uint32_t>& pointers) {
    if (std::optional<uint32_t> unknown = moves_.Translate(pointers)) {
      const RowPointer row = RowPointer::FromU32(*unknown);
      throw IndexMismatch(index, "it names row " + std::to_string(row.row) + " of page " + std::to_string(row.page) +
                                     ", which is not a row of the table");
    }
  }

  // Keys holding object ids change with them, and so may their order; only system tables
  // have such keys, and they are small enough to sort in memory.
  void CopyRenumberedIndex(size_t i, IndexBuilder& builder) {
    const RealIndex& index = table_.real_indexes[i];
    struct Entry {
      std::vector<uint8_t> key;
      uint32_t pointer;
      uint32_t old_pointer;
    };
    std::vector<Entry> entries;
    std::vector<uint32_t> pointers;
    IndexReader reader(copy_.source.pages(), copy_.source.format(), index.root_page);
    IndexEntry entry;
    while (reader.Next(entry)) {
      copy_.renumbering.RenumberKey(table_, index, copy_.id_columns, entry.key);
      entries.push_back({std::move(entry.key), 0, OldPointer(entry)});
      pointers.push_back(OldPointer(entry));
    }
    Translate(i, pointers);
    Tally tally;
    for (size_t e = 0; e < entries.size(); ++e) {
      entries[e].pointer = pointers[e];
      tally.Count(entries[e].key, pointers[e]);
    }
    tally.RequireRowsKeys(i, rows_.sums[i], rows_.count, index);
    // GCC 12 at -O3 gives the key comparison's memcmp a length beyond any object
    // (-Wstringop-overread); the lengths are the keys' own sizes, so the warning is false.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      return a.key != b.key ? a.key < b.key : a.pointer < b.pointer;
    });
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    Start();
    for (const Entry& e : entries) Add(i, builder, e.key, e.pointer, e.old_pointer);
  }

  // Source entries are translated in batches, each in one pass over the row moves.
  void CopyIndex(size_t i, IndexBuilder& builder) {
    const RealIndex& index = table_.real_indexes[i];
    IndexReader entries(copy_.source.pages(), copy_.source.format(), index.root_page);
    IndexEntry entry;
    std::vector<std::vector<uint8_t>> keys;
    std::vector<uint32_t> old_pointers, pointers;
    Tally tally;
    Start();
    // Entries with equal keys are ordered by row pointer, and rows have moved.
    std::vector<uint8_t> key;
    std::vector<std::pair<uint32_t, uint32_t>> rows;  // new and source pointers under `key`
    auto flush_key = [&] {
      // Already in order when the table was copied in the order of its rows.
      if (!std::is_sorted(rows.begin(), rows.end())) std::sort(rows.begin(), rows.end());
      for (const auto& [pointer, old_pointer] : rows) Add(i, builder, key, pointer, old_pointer);
      rows.clear();
    };
    auto flush_batch = [&] {
      pointers = old_pointers;
      Translate(i, pointers);
      for (size_t e = 0; e < keys.size(); ++e) {
        tally.Count(keys[e], pointers[e]);
        if (keys[e] != key) {
          if (keys[e] < key) throw IndexMismatch(i, "its keys are out of order");
          flush_key();
          key = std::move(keys[e]);
        }
        rows.emplace_back(pointers[e], old_pointers[e]);
      }
      keys.clear();
      old_pointers.clear();
    };
    while (entries.Next(entry)) {
      keys.push_back(std::move(entry.key));
      old_pointers.push_back(OldPointer(entry));
      if (keys.size() == kIndexBatch) flush_batch();
    }
    flush_batch();
    flush_key();
    tally.RequireRowsKeys(i, rows_.sums[i], rows_.count, index);
  }

  const CopyContext& copy_;
  const TableDefinition& table_;
  CopiedRows& rows_;
  RowMoves& moves_;
  std::vector<uint8_t> previous_;
  bool has_previous_ = false;
  std::vector<uint8_t> entry_;
  std::vector<uint32_t> duplicates_;  // source pointers of rows a salvaging copy drops
};

}  // namespace

void BuildIndexes(const CopyContext& copy, CopiedRows& rows, RowMoves& moves, DefinitionBlock& block) {
  IndexBuild(copy, rows, moves).Run(block);
}

}  // namespace vintrel::jet
