// Runs the steps of one table's copy in the order the copy's pages are laid out: the rows
// with their long values (row_copy), then the indexes over them (index_rebuild), then the
// definition naming them all (definition_rewrite). A converted table's definition is laid
// out anew from its Jet 4 form; another's keeps the source's bytes.
#include "jet/compact/table_copier.h"

#include <optional>
#include <vector>

#include "jet/compact/copy_context.h"
#include "jet/compact/definition_rewrite.h"
#include "jet/compact/index_rebuild.h"
#include "jet/compact/row_copy.h"
#include "jet/compact/row_moves.h"
#include "jet/io/file_io.h"
#include "jet/pages/definition_block.h"
#include "jet/pages/definition_builder.h"

namespace vintrel::jet {

CopiedTable CopyTable(Database& source, const TableToCopy& table, const Renumbering& renumbering,
                      const Format& format, PageOutput& output, MapRows& maps) {
  const TableDefinition definition = source.ReadTable(table.source_page);
  const bool converting = format.version != source.format().version;
  const TableDefinition stored = converting ? Jet4Definition(definition) : definition;
  DefinitionBlock block = converting
                              ? BuildJet4Definition(stored)
                              : ReadDefinitionBlock(source.pages(), format, table.source_page);
  std::optional<TextConversion> text;
  if (converting) text.emplace(stored, source.text());
  const std::vector<size_t> id_columns = renumbering.IdColumns(table.name, definition);
  const CopyContext copy{source,      table.name, definition, format,     stored,
                         text ? &*text : nullptr, table.copy_page, renumbering, id_columns,
                         output,      maps};
  RowMoves moves(DirectoryOf(output.path()));
  CopiedRows rows = CopyRows(copy, moves);
  if (converting) {
    BuildComputedIndexes(copy, rows.computed, block);
  } else {
    RebuildIndexes(copy, moves, block);
  }
  RewriteDefinition(copy, rows, block);
  return {rows.count, rows.digest};
}

}  // namespace vintrel::jet
