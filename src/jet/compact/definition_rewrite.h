// The last step of a table's copy: its definition rewritten to describe the copied rows.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "jet/compact/copy_context.h"
#include "jet/compact/row_copy.h"
#include "jet/pages/definition_block.h"

namespace vintrel::jet {

// Sets the row count and the maps of the rows' data pages (and of the last one, when it has
// room) and of their long-value pages, every one of them written, in `block`.
void SetRowMaps(const Format& format, MapRows& maps, uint64_t rows, const std::vector<uint32_t>& data_pages,
                std::optional<uint32_t> open_page, const std::map<uint16_t, LongValueWriter>& long_values,
                DefinitionBlock& block);

// Sets the row count and the maps of the data and long-value pages in `block`, points its
// foreign keys at the related tables' new pages, and writes it at the copy's definition page.
void RewriteDefinition(const CopyContext& copy, const CopiedRows& rows, DefinitionBlock& block);

}  // namespace vintrel::jet
