// The one exception type of the Jet engine. Its message is the complete description a user
// sees, so callers pass it on unchanged.
#pragma once

#include <stdexcept>
#include <cstdint>
#include <string>

namespace vintrel::jet {

class JetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What RaiseDamaged raises, for the few callers that tell damage from what is merely not
// supported.
class DamagedError : public JetError {
 public:
  using JetError::JetError;
};

// What this engine cannot do for a sound database (a sort order, column type or character
// it has no keys for, a row that does not fit a page once converted).
class UnsupportedError : public JetError {
 public:
  using JetError::JetError;
};

// A damaged structure: the description names the kind of structure and its page.
[[noreturn]] void RaiseDamaged(const char* structure, uint32_t page, const std::string& detail);

}  // namespace vintrel::jet
