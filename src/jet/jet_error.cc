// Every damaged-structure message is built here, in one form, so that a user's report always
// names the kind of structure and the page where reading stopped.
#include "jet/jet_error.h"

namespace vintrel::jet {

void RaiseDamaged(const char* structure, uint32_t page, const std::string& detail) {
  throw DamagedError("The database is damaged: " + std::string(structure) + " at page " +
                 std::to_string(page) + ": " + detail + ".");
}

}  // namespace vintrel::jet
