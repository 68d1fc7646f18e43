// Runs the steps of one table's copy in the order the copy's pages are laid out: the rows
// with their long values (row_copy), then the indexes over them (index_rebuild), then the
// definition naming them all (definition_rewrite). A converted table's definition is laid
// out anew from its Jet 4 form; another's keeps the source's bytes.
//
// What the survey cannot see, an index whose entries turn out not to be its rows' or rows a
// salvaging copy must leave out after all, is found after rows have been written: the table's
// pages are then given up (PageOutput::Rewind) and it is copied again with what was learnt.
// Each round marks another index or drops more rows, so the rounds end.
#include "jet/compact/table_copier.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

#include "jet/compact/copy_context.h"
#include "jet/compact/definition_rewrite.h"
#include "jet/compact/index_rebuild.h"
#include "jet/compact/row_copy.h"
#include "jet/compact/row_moves.h"
#include "jet/compact/table_survey.h"
#include "jet/io/file_io.h"
#include "jet/jet_error.h"
#include "jet/pages/definition_block.h"
#include "jet/pages/definition_builder.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

std::string Rebuilt(const std::u16string& table, const TableDefinition& definition, size_t index,
                    const std::string& why) {
  return "index " + RealIndexName(definition, index) + " of table " + ToUtf8(table) + " rebuilt: " + why;
}

// A damaged index is built from the rows' keys; one whose keys cannot be computed here cannot.
[[noreturn]] void RefuseUnbuildable(const std::u16string& table, const TableDefinition& definition,
                                    const TableSurvey& survey, const UnsupportedError& why) {
  for (size_t i = 0; i < survey.rebuild.size(); ++i) {
    if (!survey.index_damage[i].empty()) {
      const std::string damage = "index " + RealIndexName(definition, i) + " of table " + ToUtf8(table) + ": " +
                                 survey.index_damage[i] + "; it cannot be rebuilt: " + why.what();
      throw DamagedError("The database is damaged: " + damage + ".", "", 0, damage);
    }
  }
  throw why;
}

}  // namespace

CopiedTable CopyTable(Database& source, const TableToCopy& table, const Renumbering& renumbering,
                      const Format& format, bool salvage, PageOutput& output, MapRows& maps) {
  const TableDefinition& definition = table.definition;
  const bool converting = format.version != source.format().version;
  const TableDefinition stored = converting ? Jet4Definition(definition) : definition;
  std::optional<TextConversion> text;
  if (converting) text.emplace(stored, source.text());
  const std::vector<size_t> id_columns = renumbering.IdColumns(table.name, definition);

  CopiedTable copied;
  TableSurvey survey = SurveyTable(source, definition);
  if (!survey.map_damage.empty()) {
    copied.repairs.push_back("usage map of table " + ToUtf8(table.name) +
                             " rebuilt from the pages the table owns: " + survey.map_damage);
  }
  for (const std::string& damage : survey.other_map_damage) {
    copied.repairs.push_back(damage + " of table " + ToUtf8(table.name) + ", written anew");
  }
  for (size_t i = 0; i < survey.index_damage.size(); ++i) {
    if (!survey.index_damage[i].empty()) copied.repairs.push_back(Rebuilt(table.name, definition, i, survey.index_damage[i]));
  }
  // A conversion's keys change with the text's encoding, so each is computed anew, as are
  // those of a table that loses or gains rows.
  if (converting || !table.left_out.empty() || !table.added.empty()) survey.RebuildAll();
  survey.dropped = table.left_out;
  std::sort(survey.dropped.begin(), survey.dropped.end());

  const uint32_t start = output.Mark();
  const MapRows::Checkpoint maps_at_start = maps.Save();
  std::vector<LostRows> dropped_losses;
  for (;;) {
    DefinitionBlock block = converting ? BuildJet4Definition(stored)
                                       : ReadDefinitionBlock(source.pages(), format, definition);
    std::vector<LostRows> losses;
    const CopyContext copy{source,   definition,  table.name, format, stored,   text ? &*text : nullptr,
                           table.copy_page, renumbering, id_columns, survey, salvage ? &losses : nullptr,
                           table.added, output,   maps};
    RowMoves moves(DirectoryOf(output.path()));
    try {
      CopiedRows rows = CopyRows(copy, moves);
      // The indexes of a table that loses rows would name them: each is built from the rows.
      if (!losses.empty() && !std::all_of(survey.rebuild.begin(), survey.rebuild.end(), [](bool b) { return b; })) {
        survey.RebuildAll();
        output.Rewind(start);
        maps.Restore(maps_at_start);
        continue;
      }
      BuildIndexes(copy, rows, moves, block);
      for (const auto& [column, largest] : rows.largest_autonumbers) {
        if (largest <= static_cast<int32_t>(definition.next_autonumber)) continue;
        SetLastAutonumber(block, format, static_cast<uint32_t>(largest));
        copied.repairs.push_back("autonumber counter of table " + ToUtf8(table.name) + " raised from " +
                                 std::to_string(static_cast<int32_t>(definition.next_autonumber)) + " to " +
                                 std::to_string(largest) + ", the largest number its rows hold");
      }
      RewriteDefinition(copy, rows, block);
      copied.rows = rows.count;
      copied.digest = rows.digest;
      copied.losses = std::move(dropped_losses);
      copied.losses.insert(copied.losses.end(), losses.begin(), losses.end());
      return copied;
    } catch (const IndexMismatch& mismatch) {
      if (survey.rebuild[mismatch.index()]) throw;
      survey.rebuild[mismatch.index()] = true;
      survey.index_damage[mismatch.index()] = mismatch.reason();
      copied.repairs.push_back(Rebuilt(table.name, definition, mismatch.index(), mismatch.reason()));
    } catch (const RowsToDrop& drop) {
      std::vector<uint32_t> dropped = drop.old_pointers();
      std::sort(dropped.begin(), dropped.end());
      // Recorded as they were found; the table's other losses are found again in the next round.
      std::copy_if(losses.begin(), losses.end(), std::back_inserter(dropped_losses), [&](const LostRows& lost) {
        return lost.row && std::binary_search(dropped.begin(), dropped.end(), PackRowPointer(lost.page, *lost.row));
      });
      survey.dropped.insert(survey.dropped.end(), dropped.begin(), dropped.end());
      std::sort(survey.dropped.begin(), survey.dropped.end());
      survey.RebuildAll();
    } catch (const UnsupportedError& why) {
      if (converting) throw;
      RefuseUnbuildable(table.name, definition, survey, why);
    }
    output.Rewind(start);
    maps.Restore(maps_at_start);
  }
}

}  // namespace vintrel::jet
