// Every message of damage found at a known page is built here, in one form, so that a user's
// report names the kind of structure and the page where reading stopped. Damage met where no
// page is known (a value handed on from a row) is a DamagedError with its own text.
#include "jet/jet_error.h"

namespace vintrel::jet {

void RaiseDamaged(const char* structure, uint32_t page, const std::string& detail) {
  const std::string damage = std::string(structure) + " at page " + std::to_string(page) + ": " + detail;
  throw DamagedError("The database is damaged: " + damage + ".", structure, page, detail);
}

std::string DamagedError::damage() const {
  if (structure_.empty()) return detail_;
  return structure_ + " at page " + std::to_string(page_) + ": " + detail_;
}

}  // namespace vintrel::jet
