// The second step of a table's copy: every real index built over the rows' new places, from
// the source index's entries where the copy takes them as stored, from the rows' own keys
// where the survey (table_survey.h) or a conversion says so.
#pragma once

#include "jet/compact/copy_context.h"
#include "jet/compact/row_copy.h"
#include "jet/compact/row_moves.h"
#include "jet/pages/definition_block.h"

namespace vintrel::jet {

// Builds each real index and sets its entry count, usage map and root in `block`. A source
// index's row pointers are translated through `moves` (sorted), and its entries must be the
// rows' keys (rows.sums): an entry naming no row of the table, keys out of order or entries
// other than the rows' raise IndexMismatch. Two rows with one key in a unique index are lost:
// RowsLostError, or, when the copy salvages, RowsToDrop for the later ones, whose losses are
// recorded; in a conversion, where Jet 4's keys made them one, the conversion is refused
// (unique_keys.h).
void BuildIndexes(const CopyContext& copy, CopiedRows& rows, RowMoves& moves, DefinitionBlock& block);

}  // namespace vintrel::jet
