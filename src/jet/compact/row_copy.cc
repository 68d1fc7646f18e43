// Copies a table's rows in primary-key order, so that the copy reads in that order from
// few pages. Each row is decoded, its id columns renumbered, its text re-encoded when the
// copy converts it and its long values rewritten before it is encoded again; where it went
// is recorded for the index rebuild, or, when keys are computed, its index entries.
#include "jet/compact/row_copy.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "jet/index_key.h"
#include "jet/io/file_io.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/row_encoder.h"
#include "jet/table_reader.h"

namespace vintrel::jet {
namespace {
constexpr const char* kStructure = "data page";
// Memory for the index entries a conversion computes, shared by a table's indexes.
constexpr size_t kComputedEntriesMemory = size_t{16} << 20;

// The bytes of the row a pointer addresses, following a moved row to where it lives.
ByteView RowAt(PageCache& pages, const Format& format, uint32_t page, uint8_t row,
               PageRef& keep) {
  keep = pages.Get(page, kStructure);
  RowSlot slot = DataPage(keep, format, kStructure).Row(row);
  if (slot.deleted) slot.bytes.Fail("an index refers to deleted row " + std::to_string(row));
  return slot.moved ? FollowMovedRow(pages, format, slot.bytes, keep) : slot.bytes;
}

std::optional<size_t> PrimaryIndex(const TableDefinition& table) {
  for (const LogicalIndex& index : table.logical_indexes) {
    if (index.kind == kLogicalIndexPrimary && index.real_index < table.real_indexes.size()) {
      return index.real_index;
    }
  }
  return std::nullopt;
}

class RowCopier {
 public:
  RowCopier(const CopyContext& copy, RowMoves& moves)
      : copy_(copy),
        source_(copy.source_table),
        table_(copy.table),
        source_format_(copy.source.format()),
        hasher_(copy.source_table, copy.source.text()),
        encoder_(copy.format, copy.table),
        moves_(moves) {
    if (copy.text) {
      const size_t budget =
          kComputedEntriesMemory / std::max<size_t>(table_.real_indexes.size(), 1);
      for (const RealIndex& index : table_.real_indexes) {
        key_encoders_.emplace_back(table_, index);
        result_.computed.emplace_back(DirectoryOf(copy.output.path()), budget);
      }
    }
  }

  CopiedRows Run() {
    PageCache& pages = copy_.source.pages();
    std::vector<Field> fields;
    std::optional<size_t> primary = PrimaryIndex(source_);
    if (primary) {
      IndexReader entries(pages, source_format_, source_.real_indexes[*primary].root_page);
      IndexEntry entry;
      std::vector<size_t> var_offsets;
      while (entries.Next(entry)) {
        PageRef keep;
        ByteView row = RowAt(pages, source_format_, entry.data_page, entry.data_row, keep);
        DecodeRow(pages, source_format_, source_, row, var_offsets, fields);
        AddRow(OldPointer(entry), fields);
      }
      SortMoves();
      // Rows are taken once each (SortMoves refuses a second visit), so equal counts mean
      // the primary index led to every live row.
      const uint64_t live = CountLiveRows(copy_.source, source_);
      if (live != result_.count) {
        RaiseDamaged("index page", source_.page,
                     "the primary key names " + std::to_string(result_.count) + " rows of the " +
                         std::to_string(live) + " the table holds");
      }
    } else {
      TableReader reader(pages, source_format_, source_);
      while (reader.Next(fields)) {
        RowLocation at = reader.location();
        AddRow(PackRowPointer(at.page, static_cast<uint8_t>(at.row)), fields);
      }
      SortMoves();
    }
    if (data_page_) {
      copy_.output.Write(data_page_->number(), data_page_->bytes());
      if (data_page_->Room() > 0) result_.open_page = data_page_->number();
    }
    for (auto& [column, writer] : result_.long_values) writer.Flush();
    return std::move(result_);
  }

 private:
  void SortMoves() {
    if (moves_.Seal()) {
      RaiseDamaged("index page", source_.page, "two index entries refer to the same row");
    }
  }

  void AddRow(uint32_t old_pointer, std::vector<Field>& fields) {
    RenumberIds(copy_, fields);
    result_.digest.checksum += hasher_.Hash(fields);
    if (copy_.text) copy_.text->Apply(fields);
    encoder_.Encode(
        fields,
        [this](size_t column, std::span<const uint8_t> value) {
          auto found = result_.long_values.try_emplace(table_.columns[column].number, copy_.format,
                                                       copy_.output);
          return found.first->second.Write(value);
        },
        row_);
    if (!data_page_ || !data_page_->Fits(row_.size())) {
      if (data_page_) copy_.output.Write(data_page_->number(), data_page_->bytes());
      data_page_.emplace(copy_.format, copy_.output.Allocate(), copy_.owner);
      result_.data_pages.push_back(data_page_->number());
    }
    const uint32_t new_pointer = PackRowPointer(data_page_->number(), data_page_->Add(row_));
    moves_.Add(old_pointer, new_pointer);
    for (size_t i = 0; i < key_encoders_.size(); ++i) AddEntry(i, fields, new_pointer);
    ++result_.count;
    result_.digest.rows = result_.count;
  }

  // A row whose key columns are all null has no entry in an index that ignores nulls.
  void AddEntry(size_t index, const std::vector<Field>& fields, uint32_t pointer) {
    IndexKeyEncoder& encoder = key_encoders_[index];
    if (table_.real_indexes[index].ignores_nulls() && encoder.AllNull(fields)) return;
    encoder.Encode(fields, key_);
    const size_t size = key_.size();
    key_.resize(size + 4);
    PutBigU24(key_, size, pointer >> 8);
    key_[size + 3] = static_cast<uint8_t>(pointer);
    result_.computed[index].Add(key_);
  }

  const CopyContext& copy_;
  const TableDefinition& source_;
  const TableDefinition& table_;
  const Format& source_format_;
  RowHasher hasher_;
  RowEncoder encoder_;
  RowMoves& moves_;
  std::vector<IndexKeyEncoder> key_encoders_;  // when the copy computes its index keys
  std::vector<uint8_t> key_;
  std::vector<uint8_t> row_;
  std::optional<DataPageBuilder> data_page_;
  CopiedRows result_;
};

}  // namespace

void RenumberIds(const CopyContext& copy, std::vector<Field>& fields) {
  for (size_t c : copy.id_columns) {
    Field& field = fields[c];
    if (field.null || field.bytes.size() != 4) continue;
    ByteView view(field.bytes, "data page", copy.source_table.page);
    PutU32(field.bytes, 0,
           static_cast<uint32_t>(copy.renumbering.NewId(static_cast<int32_t>(view.U32(0)))));
  }
}

CopiedRows CopyRows(const CopyContext& copy, RowMoves& moves) {
  return RowCopier(copy, moves).Run();
}

}  // namespace vintrel::jet
