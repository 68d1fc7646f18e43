// The last step of a table's copy: its definition rewritten to describe the copied rows.
#pragma once

#include "jet/compact/copy_context.h"
#include "jet/compact/row_copy.h"
#include "jet/pages/definition_block.h"

namespace vintrel::jet {

// Sets the row count and the maps of the data and long-value pages in `block`, points its
// foreign keys at the related tables' new pages, and writes it at the copy's definition page.
void RewriteDefinition(const CopyContext& copy, const CopiedRows& rows, DefinitionBlock& block);

}  // namespace vintrel::jet
