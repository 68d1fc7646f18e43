// The one kind of failure the compaction knows: a platform call or object creation that failed,
// carrying the description text the platform gave for it.
#pragma once

#include <stdexcept>
#include <string>

namespace vintrel {

class RaisedError : public std::runtime_error {
 public:
  explicit RaisedError(std::u16string description);

  const std::u16string& description() const { return description_; }

 private:
  std::u16string description_;
};

}  // namespace vintrel
