// The one exception type of the Jet engine. Its message is the complete description a user
// sees, so callers pass it on unchanged.
#pragma once

#include <stdexcept>
#include <cstdint>
#include <string>
#include <utility>

namespace vintrel::jet {

class JetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What RaiseDamaged raises, for the callers that tell damage from what is merely not
// supported, and for the repair, which reports what it found where.
class DamagedError : public JetError {
 public:
  explicit DamagedError(const std::string& message) : JetError(message), detail_(message) {}
  DamagedError(const std::string& message, std::string structure, uint32_t page, std::string detail)
      : JetError(message), structure_(std::move(structure)), page_(page), detail_(std::move(detail)) {}

  // The damage without the sentence around it: "index page at page 7: <detail>".
  std::string damage() const;
  // The page where reading stopped; 0 when the damage is not on a page.
  uint32_t page() const { return page_; }
  // What was wrong there.
  const std::string& detail() const { return detail_; }

 private:
  std::string structure_;  // empty when the damage is not on a page
  uint32_t page_ = 0;
  std::string detail_;
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
