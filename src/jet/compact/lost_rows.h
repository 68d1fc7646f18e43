// Rows a compaction cannot copy: on a data page that does not read, with offsets that overrun
// them, with a long value whose chain is broken, or sharing a key with another row in a unique
// index. By default the first such loss stops the compaction (RowsLostError) and the source
// stays as it is; a salvaging compaction copies every other row and records the losses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/jet_error.h"

namespace vintrel::jet {

struct LostRows {
  std::u16string table;
  uint32_t page = 0;
  std::optional<uint8_t> row;  // one row; none when a whole page cannot be read
  bool whole_table = false;    // its definition (at `page`) cannot be read
  uint64_t count = 0;          // rows known to be lost: named by an index, or the one row
  std::vector<std::string> keys;  // the primary-key values of those an index still names
  std::string reason;
};

// "table Orders, data page 17: <reason>; 12 rows an index names are lost with it (ID 5, 6)"
std::string DescribeLoss(const LostRows& lost);

class RowsLostError : public JetError {
 public:
  explicit RowsLostError(LostRows lost) : JetError(DescribeLoss(lost)), lost_(std::move(lost)) {}
  const LostRows& lost() const { return lost_; }

 private:
  LostRows lost_;
};

// What is known of the rows on `page` (or of its row `row`) from the table's indexes: how
// many an index names there and, where the primary key's values decode (integers, dates,
// GUIDs and the like; not text), their values. Damaged indexes are passed over.
LostRows NamedRows(Database& source, const TableDefinition& table, uint32_t page,
                   std::optional<uint8_t> row);

// The values of a key of `index` as "Name value, Name value", where every part decodes:
// the fixed-width types whose keys hold their value bytes.
std::optional<std::string> DescribeKey(const TableDefinition& table, const RealIndex& index,
                                       const std::vector<uint8_t>& key);

}  // namespace vintrel::jet
