// Wording shared by the checker's findings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "jet/pages/table_definition.h"

namespace vintrel::jet {

// "1 row", "3 rows".
inline std::string Count(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

inline std::string RowName(uint32_t row_pointer) {
  const RowPointer at = RowPointer::FromU32(row_pointer);
  return "row " + std::to_string(at.row) + " of page " + std::to_string(at.page);
}

}  // namespace vintrel::jet
