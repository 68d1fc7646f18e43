// The canonical JSON form of a whole database: every local table of the catalog, system
// tables included, sorted by name, with its columns and its live rows in storage order.
// One line per table header and per row, UTF-8.
#pragma once

#include <ostream>
#include <string>

#include "jet/database.h"
#include "jet/pages/table_definition.h"
#include "jet/table_reader.h"

namespace vintrel::jet {

void WriteDump(Database& database, std::ostream& out);

// The dump's name for a column type code, e.g. "long" or "unknown_0x11".
std::string ColumnTypeName(uint8_t type);

// Appends one field of `column` as a JSON value.
void AppendJsonValue(std::string& out, const Column& column, const Field& field,
                     const TextEncoding& text);

}  // namespace vintrel::jet
