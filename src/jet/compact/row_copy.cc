// Copies a table's rows in primary-key order, so that the copy reads in that order from
// few pages. Each row is decoded, its id columns renumbered, its text re-encoded when the
// copy converts it and its long values rewritten before it is encoded again; where it went
// is recorded for the index rebuild, with its keys: as entries for the indexes built from
// the rows, and as a sum for those copied as stored, which must match it.
//
// A Jet 4 source's long values are read by reference and go from its pages to the copy's
// piece by piece, never whole in memory; only those the row may hold inline and those a key
// is computed from are read whole. Hashing a row for the digest reads all of its long
// values, so a row whose long value cannot be read is found before any of it is written.
//
// The primary key leads the copy only while it leads to every row: an entry naming a row
// that is not one of the table's, that cannot be read, or that was already taken, or fewer
// entries than rows, and the copy starts again in storage order. Rows are then read from the
// data pages themselves, where one that cannot be read is known to be lost.
#include "jet/compact/row_copy.h"

#include <xxhash.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "jet/compact/row_pages.h"
#include "jet/io/file_io.h"
#include "jet/jet_error.h"
#include "jet/keys/index_key.h"
#include "jet/pages/data_page.h"
#include "jet/pages/long_value.h"
#include "jet/pages/row_encoder.h"
#include "jet/table_reader.h"

namespace vintrel::jet {
namespace {
constexpr const char* kStructure = "data page";

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
        hasher_(copy.source_table, copy.source),
        encoder_(copy.format, copy.table),
        moves_(moves),
        pages_(copy.format, copy.output, copy.owner),
        long_values_(source_format_.version == Version::kJet4 && !copy.text ? LongValues::kByReference
                                                                           : LongValues::kWhole) {
    const size_t rebuilt = std::count(copy.survey.rebuild.begin(), copy.survey.rebuild.end(), true);
    const size_t budget = ComputedEntriesMemory() / std::max<size_t>(rebuilt, 1);
    result_.computed.resize(table_.real_indexes.size());
    result_.sums.resize(table_.real_indexes.size());
    for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
      try {
        key_encoders_.emplace_back(std::in_place, table_, table_.real_indexes[i]);
      } catch (const UnsupportedError& e) {
        if (copy.survey.rebuild[i]) throw;
        key_encoders_.emplace_back();
        result_.sums[i].unkeyed = e.what();
        continue;
      }
      if (copy.survey.rebuild[i]) result_.computed[i].emplace(DirectoryOf(copy.output.path()), budget);
    }
    for (const Column& column : source_.columns) {
      if ((column.flags & kColumnAutoNumber) != 0 && column.type == static_cast<uint8_t>(ColumnType::kLong)) {
        autonumbers_.push_back(&column - source_.columns.data());
      }
      if (column.long_value()) {
        const bool keyed = std::any_of(source_.real_indexes.begin(), source_.real_indexes.end(), [&](const RealIndex& index) {
          return std::any_of(index.columns.begin(), index.columns.end(),
                             [&](const IndexColumn& part) { return part.column_number == column.number; });
        });
        long_columns_.push_back({static_cast<size_t>(&column - source_.columns.data()), keyed});
      }
    }
  }

  CopiedRows Run() {
    // A primary key found damaged leads nowhere; one the copy rebuilds for other reasons
    // (a conversion's new keys) still gives the order.
    std::optional<size_t> primary = PrimaryIndex(source_);
    const bool by_primary_key = primary && copy_.survey.index_damage[*primary].empty();
    if (by_primary_key) {
      CopyInPrimaryKeyOrder(*primary);
    } else {
      CopyInStorageOrder();
    }
    uint32_t unplaced = UINT32_MAX;
    for (std::vector<Field> fields : copy_.added) {
      const uint64_t hash = Prepare(fields);
      AddRow(unplaced--, fields, hash);
    }
    moves_.Sort();
    if (moves_.repeated_source()) {
      if (by_primary_key) throw IndexMismatch(*primary, "two entries name the same row");
      RaiseDamaged("table definition", source_.page, "a row was read twice");
    }
    result_.open_page = pages_.Finish();
    result_.data_pages = pages_.pages();
    for (auto& [column, writer] : result_.long_values) writer.Flush();
    return std::move(result_);
  }

 private:
  // The bytes of the row an entry names, on a data page of the table.
  ByteView RowNamed(const IndexEntry& entry, size_t index, PageRef& keep) {
    PageCache& pages = copy_.source.pages();
    keep = pages.Get(entry.data_page, kStructure);
    auto mismatch = [&](const char* what) {
      return IndexMismatch(index, "it names row " + std::to_string(entry.data_row) + " of page " +
                                      std::to_string(entry.data_page) + ", " + what);
    };
    if (keep->type() != PageType::kData) throw mismatch("which is not a data page");
    DataPage page(keep, source_format_, kStructure);
    if (page.owner() != source_.page || entry.data_row >= page.row_count()) {
      throw mismatch("which is not a row of the table");
    }
    // Counted as the page is first read, so that the count of the table's rows need not
    // read it again.
    if (live_rows_[entry.data_page] == kNotCounted) live_rows_[entry.data_page] = LiveRows(page);
    RowSlot slot = page.Row(entry.data_row);
    if (slot.deleted) throw mismatch("a deleted row");
    return slot.moved ? FollowMovedRow(pages, source_format_, slot.bytes, keep) : slot.bytes;
  }

  // Reading a row through the primary key never decides that the row is lost: whatever
  // fails there is read again from the data pages in storage order.
  void CopyInPrimaryKeyOrder(size_t primary) {
    PageCache& pages = copy_.source.pages();
    live_rows_.assign(pages.page_count(), kNotCounted);
    std::vector<Field> fields;
    std::vector<size_t> var_offsets;
    std::optional<IndexReader> entries;
    IndexEntry entry;
    auto next_entry = [&] {
      try {
        if (!entries) entries.emplace(pages, source_format_, source_.real_indexes[primary].root_page);
        return entries->Next(entry);
      } catch (const DamagedError& e) {
        throw IndexMismatch(primary, e.damage());
      }
    };
    uint64_t named = 0;
    while (next_entry()) {
      ++named;
      if (Dropped(OldPointer(entry))) continue;
      uint64_t hash;
      try {
        PageRef keep;
        ByteView row = RowNamed(entry, primary, keep);
        DecodeRow(pages, source_format_, source_, row, var_offsets, fields, long_values_);
        hash = Prepare(fields);
      } catch (const DamagedError& e) {
        throw IndexMismatch(primary, "it names a row that cannot be read: " + e.damage());
      }
      AddRow(OldPointer(entry), fields, hash);
    }
    uint64_t live;
    try {
      live = CountLiveRows(copy_.source, source_, ListedPages(), &live_rows_);
    } catch (const DamagedError& e) {
      throw IndexMismatch(primary, "the table holds rows it cannot lead to: " + e.damage());
    }
    // Rows are taken once each (RowMoves names a row added twice), so equal counts mean
    // the primary key led to every live row.
    if (live != named) {
      throw IndexMismatch(primary, "it names " + std::to_string(named) + " rows of the " + std::to_string(live) +
                                       " the table holds");
    }
  }

  void CopyInStorageOrder() {
    TableReader reader(copy_.source.pages(), source_format_, source_, ListedPages(), long_values_);
    std::vector<Field> fields;
    for (;;) {
      bool more;
      try {
        more = reader.Next(fields);
      } catch (const DamagedError& e) {
        Lose(reader.location(), reader.failed_on_page(), e);
        continue;
      }
      if (!more) break;
      const RowLocation at = reader.location();
      const uint32_t old_pointer = PackRowPointer(at.page, static_cast<uint8_t>(at.row));
      if (Dropped(old_pointer)) continue;
      uint64_t hash;
      try {
        hash = Prepare(fields);
      } catch (const DamagedError& e) {
        Lose(at, false, e);
        continue;
      }
      AddRow(old_pointer, fields, hash);
    }
    // A page the map lists that now names another table as its owner is one the table gave
    // up, unless the table's indexes still name rows there: then it is the owner that is
    // damaged, and those rows are lost.
    for (uint32_t page : reader.foreign_pages()) {
      LostRows named = NamedRows(copy_.source, source_, page, std::nullopt);
      if (named.count == 0) continue;
      named.table = copy_.name;
      named.reason = "the page names another table as its owner";
      Record(std::move(named));
    }
  }

  // The table's data pages when its usage map cannot tell them.
  const std::vector<uint32_t>* ListedPages() const {
    return copy_.survey.owned_pages ? &*copy_.survey.owned_pages : nullptr;
  }

  bool Dropped(uint32_t old_pointer) const {
    return std::binary_search(copy_.survey.dropped.begin(), copy_.survey.dropped.end(), old_pointer);
  }

  void Lose(const RowLocation& at, bool whole_page, const DamagedError& damage) {
    std::optional<uint8_t> row;
    if (!whole_page) row = static_cast<uint8_t>(at.row);
    LostRows lost = NamedRows(copy_.source, source_, at.page, row);
    lost.table = copy_.name;
    lost.reason = whole_page ? damage.detail() : damage.damage();
    Record(std::move(lost));
  }

  void Record(LostRows lost) {
    if (!copy_.losses) throw RowsLostError(std::move(lost));
    copy_.losses->push_back(std::move(lost));
  }

  // Renumbers the row's ids and reads whole the long values the row's copy needs whole;
  // returns the row's hash for the digest. Raises a DamagedError for a row that cannot be
  // read, before anything of it is written.
  uint64_t Prepare(std::vector<Field>& fields) {
    copy_.renumbering.RenumberIds(copy_.id_columns, fields);
    const uint64_t hash = hasher_.Hash(fields);
    for (const auto& [c, keyed] : long_columns_) {
      Field& field = fields[c];
      if (!field.by_reference) continue;
      LongValuePieces pieces(copy_.source.pages(), source_format_, ByteView(field.bytes, kStructure, source_.page));
      if (!keyed && pieces.length() > kMaxInlineLongValue) continue;
      whole_.clear();
      std::span<const uint8_t> piece;
      while (pieces.Next(piece)) whole_.insert(whole_.end(), piece.begin(), piece.end());
      field.bytes.swap(whole_);
      field.by_reference = false;
    }
    return hash;
  }

  void AddRow(uint32_t old_pointer, std::vector<Field>& fields, uint64_t hash) {
    for (size_t c : autonumbers_) NoteAutonumber(source_.columns[c].number, fields[c]);
    result_.digest.checksum += hash;
    if (copy_.text) copy_.text->Apply(fields);
    encoder_.Encode(
        fields,
        [this](size_t column, const Field& field) {
          LongValueWriter& writer =
              result_.long_values.try_emplace(table_.columns[column].number, copy_.format, copy_.output).first->second;
          if (!field.by_reference) return writer.Write(field.bytes);
          LongValuePieces pieces(copy_.source.pages(), source_format_, ByteView(field.bytes, kStructure, source_.page));
          return writer.Write(pieces);
        },
        row_);
    const uint32_t new_pointer = pages_.Add(row_);
    moves_.Add(old_pointer, new_pointer);
    for (size_t i = 0; i < key_encoders_.size(); ++i) AddKey(i, fields, new_pointer, old_pointer);
    ++result_.count;
    result_.digest.rows = result_.count;
  }

  void NoteAutonumber(uint16_t column, const Field& field) {
    if (field.null || field.bytes.size() != 4) return;
    const int32_t value = static_cast<int32_t>(ByteView(field.bytes, kStructure, source_.page).U32(0));
    auto [found, added] = result_.largest_autonumbers.try_emplace(column, value);
    if (!added) found->second = std::max(found->second, value);
  }

  // A row whose key columns are all null has no entry in an index that ignores nulls.
  void AddKey(size_t index, const std::vector<Field>& fields, uint32_t pointer, uint32_t old_pointer) {
    if (!key_encoders_[index]) return;
    IndexKeyEncoder& encoder = *key_encoders_[index];
    if (table_.real_indexes[index].ignores_nulls() && encoder.AllNull(fields)) return;
    KeySum& sum = result_.sums[index];
    try {
      encoder.Encode(fields, key_);
    } catch (const UnsupportedError& e) {
      if (result_.computed[index]) throw;
      sum.unkeyed = e.what();
      key_encoders_[index].reset();
      return;
    }
    if (!result_.computed[index]) {
      ++sum.entries;
      sum.sum += EntryHash(key_, pointer);
      return;
    }
    AppendEntryPointer(key_, pointer);
    key_.resize(key_.size() + 4);
    PutBigU32(key_, key_.size() - 4, old_pointer);
    result_.computed[index]->Add(key_);
  }

  const CopyContext& copy_;
  const TableDefinition& source_;
  const TableDefinition& table_;
  const Format& source_format_;
  RowHasher hasher_;
  RowEncoder encoder_;
  RowMoves& moves_;
  RowPages pages_;
  const LongValues long_values_;
  std::vector<std::optional<IndexKeyEncoder>> key_encoders_;  // none where keys cannot be computed
  std::vector<size_t> autonumbers_;  // columns of source_
  struct LongColumn {
    size_t column;  // of source_
    bool keyed;     // in some index's key
  };
  std::vector<LongColumn> long_columns_;
  LiveRowCounts live_rows_;  // of the pages the primary key led to
  std::vector<uint8_t> whole_;
  std::vector<uint8_t> key_;
  std::vector<uint8_t> row_;
  CopiedRows result_;
};

}  // namespace

uint64_t EntryHash(const std::vector<uint8_t>& key, uint32_t pointer) {
  return XXH3_64bits_withSeed(key.data(), key.size(), pointer);
}

CopiedRows CopyRows(const CopyContext& copy, RowMoves& moves) {
  return RowCopier(copy, moves).Run();
}

}  // namespace vintrel::jet
