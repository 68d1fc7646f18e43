// One column's value in a row: what the reader decodes from a row (table_reader.h) and what
// the row encoder lays out again (row_encoder.h).
#pragma once

#include <cstdint>
#include <vector>

namespace vintrel::jet {

struct Field {
  bool null = true;
  bool flag = false;           // a Boolean's value
  std::vector<uint8_t> bytes;  // the stored bytes; a long value's full contents
  // A long value read by reference: `bytes` are the header (and inline value) as its row
  // stores them, for LongValuePieces to read the value from.
  bool by_reference = false;
};

}  // namespace vintrel::jet
