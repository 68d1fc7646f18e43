// Rebuilds a table's indexes after its rows have moved. Keys stay in the source's order, so
// most indexes stream through in batches; only the rows under one key need sorting again,
// since equal keys are ordered by row pointer. Keys that hold object ids change with the
// renumbering and are sorted anew.
#include "jet/compact/index_rebuild.h"

#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "jet/compact/unique_keys.h"
#include "jet/jet_error.h"
#include "jet/pages/index_builder.h"

namespace vintrel::jet {
namespace {
// Index entries translated to new row pointers at a time.
constexpr size_t kIndexBatch = 1 << 16;

class IndexRebuilder {
 public:
  IndexRebuilder(const CopyContext& copy, RowMoves& moves)
      : copy_(copy), table_(copy.table), moves_(moves) {}

  void Run(DefinitionBlock& block) {
    for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
      IndexBuilder builder(copy_.format, copy_.output, copy_.owner);
      if (KeysIds(table_.real_indexes[i])) {
        CopyRenumberedIndex(i, builder);
      } else {
        CopyIndex(i, builder);
      }
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

  [[noreturn]] void RaiseUnknownRow(size_t index, uint32_t pointer) const {
    RowPointer row = RowPointer::FromU32(pointer);
    RaiseDamaged("index page", table_.page,
                 "index " + std::to_string(index) + " refers to row " + std::to_string(row.row) +
                     " of page " + std::to_string(row.page) + ", which is not a row of the table");
  }

  static void AddEntry(IndexBuilder& builder, const std::vector<uint8_t>& key, uint32_t pointer,
                       std::vector<uint8_t>& bytes) {
    bytes = key;
    bytes.resize(key.size() + 4);
    PutBigU24(bytes, key.size(), pointer >> 8);
    bytes[key.size() + 3] = static_cast<uint8_t>(pointer);
    builder.Add(bytes);
  }

  // Keys holding object ids change with them, and so may their order; only system tables
  // have such keys, and they are small enough to sort in memory.
  void CopyRenumberedIndex(size_t i, IndexBuilder& builder) {
    const RealIndex& index = table_.real_indexes[i];
    std::vector<std::vector<uint8_t>> keys;
    std::vector<uint32_t> pointers;
    IndexReader reader(copy_.source.pages(), copy_.source.format(), index.root_page);
    IndexEntry entry;
    while (reader.Next(entry)) {
      copy_.renumbering.RenumberKey(table_, index, copy_.id_columns, entry.key);
      keys.push_back(std::move(entry.key));
      pointers.push_back(OldPointer(entry));
    }
    if (auto unknown = moves_.Translate(pointers)) RaiseUnknownRow(i, *unknown);
    std::vector<std::pair<std::vector<uint8_t>, uint32_t>> entries;
    for (size_t e = 0; e < keys.size(); ++e) entries.emplace_back(std::move(keys[e]), pointers[e]);
    // GCC 12 at -O3 gives the key comparison's memcmp a length beyond any object
    // (-Wstringop-overread); the lengths are the keys' own sizes, so the warning is false.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    std::sort(entries.begin(), entries.end());
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    std::vector<uint8_t> bytes;
    for (const auto& [key, pointer] : entries) AddEntry(builder, key, pointer, bytes);
  }

  // Source entries are translated in batches, each in one pass over the row moves.
  void CopyIndex(size_t i, IndexBuilder& builder) {
    IndexReader entries(copy_.source.pages(), copy_.source.format(), table_.real_indexes[i].root_page);
    IndexEntry entry;
    std::vector<std::vector<uint8_t>> keys;
    std::vector<uint32_t> pointers;
    // Entries with equal keys are ordered by row pointer, and rows have moved.
    std::vector<uint8_t> key, bytes;
    std::vector<uint32_t> rows;
    auto flush_key = [&] {
      std::sort(rows.begin(), rows.end());
      for (uint32_t pointer : rows) AddEntry(builder, key, pointer, bytes);
      rows.clear();
    };
    auto flush_batch = [&] {
      if (auto unknown = moves_.Translate(pointers)) RaiseUnknownRow(i, *unknown);
      for (size_t e = 0; e < keys.size(); ++e) {
        if (keys[e] != key) {
          flush_key();
          key = std::move(keys[e]);
        }
        rows.push_back(pointers[e]);
      }
      keys.clear();
      pointers.clear();
    };
    while (entries.Next(entry)) {
      keys.push_back(entry.key);
      pointers.push_back(OldPointer(entry));
      if (keys.size() == kIndexBatch) flush_batch();
    }
    flush_batch();
    flush_key();
  }

  const CopyContext& copy_;
  const TableDefinition& table_;
  RowMoves& moves_;
};

}  // namespace

void RebuildIndexes(const CopyContext& copy, RowMoves& moves, DefinitionBlock& block) {
  IndexRebuilder(copy, moves).Run(block);
}

void BuildComputedIndexes(const CopyContext& copy, std::vector<EntrySorter>& computed,
                          DefinitionBlock& block) {
  for (size_t i = 0; i < computed.size(); ++i) {
    IndexBuilder builder(copy.format, copy.output, copy.owner);
    UniqueKeyCheck check(copy, i);
    computed[i].Drain([&](std::span<const uint8_t> entry) {
      check.Take(entry);
      builder.Add(entry);
    });
    const uint32_t root = builder.Finish();
    SetRealIndexFields(block, copy.format, i, static_cast<uint32_t>(builder.entry_count()),
                       copy.maps.AddMapOf(builder.pages()), root);
  }
}

}  // namespace vintrel::jet
