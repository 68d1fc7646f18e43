#include "jet/compact/table_copier.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "jet/coding.h"
#include "jet/compact/row_moves.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/definition_block.h"
#include "jet/pages/index_builder.h"
#include "jet/pages/index_page.h"
#include "jet/pages/long_value_writer.h"
#include "jet/pages/row_encoder.h"
#include "jet/pages/usage_map_builder.h"
#include "jet/table_reader.h"

namespace vintrel::jet {
namespace {
constexpr const char* kStructure = "data page";
constexpr int kMaxMoves = 4;

// The bytes of the row a pointer addresses, following a moved row to where it lives.
ByteView RowAt(PageCache& pages, const Format& format, uint32_t page, uint8_t row,
               PageRef& keep) {
  for (int moves = 0; moves < kMaxMoves; ++moves) {
    keep = pages.Get(page, kStructure);
    DataPage data(keep, format, kStructure);
    RowSlot slot = data.Row(row);
    if (slot.deleted && moves == 0) {
      slot.bytes.Fail("an index refers to deleted row " + std::to_string(row));
    }
    if (!slot.moved) return slot.bytes;
    RowPointer next = RowPointer::FromU32(slot.bytes.U32(0));
    page = next.page;
    row = next.row;
  }
  RaiseDamaged(kStructure, page, "a moved row is moved more than " + std::to_string(kMaxMoves) +
                                     " times");
}

std::optional<size_t> PrimaryIndex(const TableDefinition& table) {
  for (const LogicalIndex& index : table.logical_indexes) {
    if (index.kind == kLogicalIndexPrimary && index.real_index < table.real_indexes.size()) {
      return index.real_index;
    }
  }
  return std::nullopt;
}

// Index entries translated to new row pointers at a time.
constexpr size_t kIndexBatch = 1 << 16;

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

uint32_t OldPointer(const IndexEntry& entry) { return PackRowPointer(entry.data_page, entry.data_row); }

class Copier {
 public:
  Copier(Database& source, const TableToCopy& copy, const Renumbering& renumbering,
         PageOutput& output, MapRows& maps)
      : source_(source),
        format_(source.format()),
        table_(source.ReadTable(copy.source_page)),
        block_(ReadDefinitionBlock(source.pages(), format_, copy.source_page)),
        page_(copy.copy_page),
        renumbering_(renumbering),
        id_columns_(renumbering.IdColumns(copy.name, table_)),
        output_(output),
        maps_(maps),
        encoder_(format_, table_),
        moves_(DirectoryOf(output.path())) {}

  CopiedTable Run() {
    CopyRows();
    CopyIndexes();
    WriteDefinition();
    return result_;
  }

 private:
  void CopyRows() {
    std::vector<Field> fields;
    std::optional<size_t> primary = PrimaryIndex(table_);
    if (primary) {
      IndexReader entries(source_.pages(), format_, table_.real_indexes[*primary].root_page);
      IndexEntry entry;
      std::vector<size_t> var_offsets;
      while (entries.Next(entry)) {
        PageRef keep;
        ByteView row = RowAt(source_.pages(), format_, entry.data_page, entry.data_row, keep);
        DecodeRow(source_.pages(), format_, table_, row, var_offsets, fields);
        AddRow(OldPointer(entry), fields);
      }
      SortMoves();
      // Rows are taken once each (SortMoves refuses a second visit), so equal counts mean
      // the primary index led to every live row.
      const uint64_t live = CountLiveRows(source_, table_);
      if (live != result_.rows) {
        RaiseDamaged("index page", table_.page,
                     "the primary key names " + std::to_string(result_.rows) + " rows of the " +
                         std::to_string(live) + " the table holds");
      }
    } else {
      TableReader reader(source_.pages(), format_, table_);
      while (reader.Next(fields)) {
        RowLocation at = reader.location();
        AddRow(PackRowPointer(at.page, static_cast<uint8_t>(at.row)), fields);
      }
      SortMoves();
    }
    if (data_page_) {
      output_.Write(data_page_->number(), data_page_->bytes());
    }
    for (auto& [column, writer] : long_values_) writer.Flush();
  }

  void SortMoves() {
    if (moves_.Seal()) RaiseDamaged("index page", table_.page, "two index entries refer to the same row");
  }

  void AddRow(uint32_t old_pointer, std::vector<Field>& fields) {
    for (size_t c : id_columns_) {
      Field& field = fields[c];
      if (field.null || field.bytes.size() != 4) continue;
      ByteView view(field.bytes, "data page", table_.page);
      PutU32(field.bytes, 0, static_cast<uint32_t>(renumbering_.NewId(static_cast<int32_t>(view.U32(0)))));
    }
    encoder_.Encode(
        fields,
        [this](size_t column, std::span<const uint8_t> value) {
          auto found = long_values_.try_emplace(table_.columns[column].number, format_, output_);
          return found.first->second.Write(value);
        },
        row_);
    if (!data_page_ || !data_page_->Fits(row_.size())) {
      if (data_page_) output_.Write(data_page_->number(), data_page_->bytes());
      data_page_.emplace(format_, output_.Allocate(), page_);
      data_pages_.push_back(data_page_->number());
    }
    uint8_t row = data_page_->Add(row_);
    result_.digest.checksum += RowHash(fields);
    moves_.Add(old_pointer, PackRowPointer(data_page_->number(), row));
    ++result_.rows;
    result_.digest.rows = result_.rows;
  }

  void CopyIndexes() {
    for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
      IndexBuilder builder(format_, output_, page_);
      if (KeysIds(table_.real_indexes[i])) {
        CopyRenumberedIndex(i, builder);
      } else {
        CopyIndex(i, builder);
      }
      uint32_t root = builder.Finish();
      SetRealIndexFields(block_, format_, i, static_cast<uint32_t>(builder.entry_count()),
                         MapOf(builder.pages()), root);
    }
  }

  bool KeysIds(const RealIndex& index) const {
    for (const IndexColumn& part : index.columns) {
      for (size_t c : id_columns_) {
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
    IndexReader reader(source_.pages(), format_, index.root_page);
    IndexEntry entry;
    while (reader.Next(entry)) {
      renumbering_.RenumberKey(table_, index, id_columns_, entry.key);
      keys.push_back(std::move(entry.key));
      pointers.push_back(OldPointer(entry));
    }
    if (auto unknown = moves_.Translate(pointers)) RaiseUnknownRow(i, *unknown);
    std::vector<std::pair<std::vector<uint8_t>, uint32_t>> entries;
    for (size_t e = 0; e < keys.size(); ++e) entries.emplace_back(std::move(keys[e]), pointers[e]);
    std::sort(entries.begin(), entries.end());
    std::vector<uint8_t> bytes;
    for (const auto& [key, pointer] : entries) AddEntry(builder, key, pointer, bytes);
  }

  // Source entries are translated in batches, each in one pass over the row moves.
  void CopyIndex(size_t i, IndexBuilder& builder) {
    IndexReader entries(source_.pages(), format_, table_.real_indexes[i].root_page);
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

  uint32_t MapOf(const std::vector<uint32_t>& pages) {
    std::vector<uint32_t> map_pages;
    return maps_.Add(BuildUsageMap(format_, pages, output_, map_pages));
  }

  void WriteDefinition() {
    std::vector<uint32_t> with_room;
    if (data_page_ && data_page_->Room() > 0) with_room.push_back(data_page_->number());
    SetTableFields(block_, format_, static_cast<uint32_t>(result_.rows), MapOf(data_pages_),
                   MapOf(with_room));
    for (size_t i = 0; i < block_.long_value_maps.size(); ++i) {
      auto found = long_values_.find(block_.long_value_maps[i].column_number);
      std::vector<uint32_t> pages, open;
      if (found != long_values_.end()) {
        pages = found->second.pages();
        if (auto page = found->second.open_page()) open.push_back(*page);
      }
      SetLongValueMaps(block_, i, MapOf(pages), MapOf(open));
    }
    for (const auto& written : long_values_) {
      const uint16_t column = written.first;
      bool mapped = std::any_of(block_.long_value_maps.begin(), block_.long_value_maps.end(),
                                [column](const LongValueMapOffsets& maps) { return maps.column_number == column; });
      if (!mapped) {
        throw JetError("Table " + std::to_string(table_.page) + " has long values in column " +
                       std::to_string(column) + ", which its definition gives no map.");
      }
    }
    RenumberRelatedTables(block_, format_, [this](uint32_t old) { return renumbering_.NewPage(old); });
    WriteDefinitionPages(format_, block_, page_, output_);
  }

  Database& source_;
  const Format& format_;
  TableDefinition table_;
  DefinitionBlock block_;
  uint32_t page_;  // of the definition in the copy, and so the owner of its pages
  const Renumbering& renumbering_;
  std::vector<size_t> id_columns_;
  PageOutput& output_;
  MapRows& maps_;
  RowEncoder encoder_;
  std::vector<uint8_t> row_;
  std::optional<DataPageBuilder> data_page_;
  std::vector<uint32_t> data_pages_;
  std::map<uint16_t, LongValueWriter> long_values_;  // by column number
  RowMoves moves_;
  CopiedTable result_;
};

}  // namespace

uint32_t MapRows::Add(const std::vector<uint8_t>& row) {
  if (!page_ || !page_->Fits(row.size())) {
    Flush();
    page_.emplace(format_, output_.Allocate(), 0);
  }
  uint8_t index = page_->Add(row);
  return PackRowPointer(page_->number(), index);
}

void MapRows::Flush() {
  if (page_) output_.Write(page_->number(), page_->bytes());
  page_.reset();
}

CopiedTable CopyTable(Database& source, const TableToCopy& table, const Renumbering& renumbering,
                      PageOutput& output, MapRows& maps) {
  return Copier(source, table, renumbering, output, maps).Run();
}

}  // namespace vintrel::jet
