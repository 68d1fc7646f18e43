// Runs the steps of one table's copy in the order the copy's pages are laid out: the rows
// with their long values (row_copy), then the indexes over them (index_rebuild), then the
// definition naming them all (definition_rewrite).
#include "jet/compact/table_copier.h"

#include <vector>

#include "jet/compact/copy_context.h"
#include "jet/compact/definition_rewrite.h"
#include "jet/compact/index_rebuild.h"
#include "jet/compact/row_copy.h"
#include "jet/compact/row_moves.h"
#include "jet/io/file_io.h"
#include "jet/pages/definition_block.h"

namespace vintrel::jet {

CopiedTable CopyTable(Database& source, const TableToCopy& table, const Renumbering& renumbering,
                      PageOutput& output, MapRows& maps) {
  const Format& format = source.format();
  const TableDefinition definition = source.ReadTable(table.source_page);
  DefinitionBlock block = ReadDefinitionBlock(source.pages(), format, table.source_page);
  const std::vector<size_t> id_columns = renumbering.IdColumns(table.name, definition);
  const CopyContext copy{source, format, definition, table.copy_page, renumbering, id_columns,
                         output, maps};
  RowMoves moves(DirectoryOf(output.path()));
  const CopiedRows rows = CopyRows(copy, moves);
  RebuildIndexes(copy, moves, block);
  RewriteDefinition(copy, rows, block);
  return {rows.count, rows.digest};
}

}  // namespace vintrel::jet
