// A Jet 4 table definition laid out from a parsed one, for a copy whose source is stored in
// another format. Fields the copy sets once its pages are written (row count, maps, index
// roots and entry counts) are left zero; DefinitionBlock's setters fill them. What the
// layout holds besides the reader's fields, as Jet 4 itself writes it:
//
//   12 (4)  1625, also the first 4 bytes of each column and logical index descriptor
//   24 (1)  0x01, without which Access does not hand out autonumbers
//   column descriptor: 9 (2) the column number again, 16 (1) 0x01 for compressed text
//   real index descriptor: 0 (4) 1923; 46 flags with 0x80 set; 47..51 zero
//   logical index descriptor: 24..27 zero
//   names: 2-byte length, UCS-2
#pragma once

#include "jet/pages/definition_block.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

// REQUIRES: no index of `table` has more than kIndexColumnSlots columns (a read one has not).
DefinitionBlock BuildJet4Definition(const TableDefinition& table);

}  // namespace vintrel::jet
