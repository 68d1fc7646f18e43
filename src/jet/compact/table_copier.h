// Copies one table into the destination: its live rows packed densely into new data pages
// (in primary-key order when the table has a primary key), its long values onto new
// long-value pages, every real index rebuilt over the rows' new places, and its
// definition rewritten with the new row count, maps and index roots.
//
// Derived structures that are damaged (table_survey.h) are rebuilt from the rows and each
// repair is said; rows that cannot be read are lost (lost_rows.h): refused, or, when the
// copy salvages, left out and recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/compact/content_digest.h"
#include "jet/compact/lost_rows.h"
#include "jet/compact/map_rows.h"
#include "jet/compact/renumbering.h"
#include "jet/database.h"
#include "jet/io/page_output.h"

namespace vintrel::jet {

struct CopiedTable {
  uint64_t rows = 0;
  TableDigest digest;  // of the rows as the copy holds them, summed from the source
  std::vector<std::string> repairs;  // what was rebuilt, and why
  std::vector<LostRows> losses;      // salvaging only
};

struct TableToCopy {
  std::u16string name;
  const TableDefinition& definition;  // in the source
  uint32_t copy_page;
  // The catalog's copy leaves out the rows of tables that are not copied and gains the row of
  // a table the copy adds: source row pointers, and rows as the source stores them.
  std::vector<uint32_t> left_out = {};
  std::vector<std::vector<Field>> added = {};
};

// `format` is the copy's: the source's, or Jet 4 for a Jet 3 source, whose tables are
// converted (jet4_conversion.h).
CopiedTable CopyTable(Database& source, const TableToCopy& table, const Renumbering& renumbering,
                      const Format& format, bool salvage, PageOutput& output, MapRows& maps);

}  // namespace vintrel::jet
