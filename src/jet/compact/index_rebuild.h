// The second step of a table's copy: every real index rebuilt over the rows' new places.
// Entries keep the source's keys, unless the copy computed them from the rows.
#pragma once

#include <vector>

#include "jet/compact/copy_context.h"
#include "jet/compact/row_copy.h"
#include "jet/compact/row_moves.h"
#include "jet/pages/definition_block.h"

namespace vintrel::jet {

// Builds each real index of the table anew from the source index's entries, the row
// pointers translated through `moves` (sealed), and sets its entry count, usage map and
// root in `block`.
void RebuildIndexes(const CopyContext& copy, RowMoves& moves, DefinitionBlock& block);

// Builds each real index from the entries the row copy computed, sorted, and sets its entry
// count, usage map and root in `block`. Raises an UnsupportedError when a unique index would
// hold one key twice (unique_keys.h).
void BuildComputedIndexes(const CopyContext& copy, std::vector<EntrySorter>& computed,
                          DefinitionBlock& block);

}  // namespace vintrel::jet
