// The table in which a salvaging compaction records the rows it could not copy. Its name is
// the one Jet's own compaction gives that record; its columns are ours, a row per loss:
//
//   ErrorTable        Text (255)  the table the rows belonged to
//   ErrorPage         Long        the data page they were on (the definition's, for a table
//                                 whose definition could not be read)
//   ErrorRow          Long        the row on that page; null when the whole page was lost
//   ErrorRows         Long        how many rows are known to be lost
//   ErrorKeys         Memo        the primary-key values an index still names, a line each
//   ErrorDescription  Memo        what was wrong
//
// It is a system table (its name starts with MSys), as Jet's own is, and has no index.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "jet/compact/content_digest.h"
#include "jet/compact/lost_rows.h"
#include "jet/compact/map_rows.h"
#include "jet/database.h"
#include "jet/io/page_output.h"
#include "jet/pages/field.h"

namespace vintrel::jet {

inline constexpr std::u16string_view kLossTableName = u"MSysCompactError";

// The table's name in the copy: kLossTableName, or, when an object of `catalog` already has
// that name (a database salvaged before), the first of kLossTableName followed by 2, 3, ...
// that none has. Names are compared without regard to ASCII case, as Jet's keys compare them.
std::u16string LossTableName(const std::vector<CatalogEntry>& catalog);

// The catalog's row for the table, as the source stores catalog rows (so that the catalog's
// copy takes it like the others): a copy of the catalog's own row (at row pointer `model`),
// with `id` and `name` in their place, created and updated `now`, without properties.
std::vector<Field> LossCatalogRow(Database& source, uint32_t model, int32_t id, const std::u16string& name,
                                  double now);

// Writes the table's rows and its definition at `definition_page` of the copy; returns what
// the copy's digest must find in it.
TableDigest WriteLossTable(const std::vector<LostRows>& losses, uint32_t definition_page, PageOutput& output,
                           MapRows& maps);

}  // namespace vintrel::jet
