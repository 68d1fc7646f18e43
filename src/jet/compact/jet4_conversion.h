// What changes when a Jet 3 database's copy is written in the Jet 4 format. Rows keep their
// values and layout (fixed columns at their offsets, variable ones in their slots), except
// that text is stored as UTF-16, compressed where Jet 4 would: Jet 3 text is in the
// database's code page. Definitions are laid out anew (definition_builder.h) and index keys
// are computed from the values, since Jet 3 text keys are not Jet 4 keys.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/pages/field.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

// The Jet 4 form of a Jet 3 table's definition: text lengths count bytes of UTF-16, and the
// text and memo columns of user tables are stored compressed (Jet 4 keeps its own system
// tables' text uncompressed).
TableDefinition Jet4Definition(const TableDefinition& jet3);

// Raises UnsupportedError saying what is not supported unless every table of a Jet 3 source
// converts: the database's and every text column's sort order must be General, no text
// column may have a fixed length, and every index's keys must be computable. `definitions`
// are the tables' definitions as the copy reads them, by definition page, named by the
// entries of `catalog`.
void RequireConvertible(const DatabaseHeader& header, const std::vector<CatalogEntry>& catalog,
                        const std::map<uint32_t, TableDefinition>& definitions);

// The description of a conversion of `path` refused for `detail`.
std::string ConversionNotSupported(const std::string& path, const std::string& detail);

// Rewrites a row's text and memo fields, decoded from the source's code page, into Jet 4's
// stored form, and the catalog's property lists into their Jet 4 form (property_list.h).
// Raises for text holding a byte the code page leaves undefined, which cannot be stored
// again without loss.
class TextConversion {
 public:
  TextConversion(const TableDefinition& copy_table, const TextEncoding& source_text);
  void Apply(std::vector<Field>& fields);

 private:
  const TableDefinition& table_;
  const TextEncoding& source_text_;
  std::vector<size_t> text_columns_;
  std::vector<size_t> property_columns_;
  std::u16string decoded_;
};

}  // namespace vintrel::jet
