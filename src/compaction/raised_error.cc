#include "compaction/raised_error.h"

#include <utility>

#include "text/utf.h"

namespace vintrel {

RaisedError::RaisedError(std::u16string description)
    : std::runtime_error(ToUtf8(description)), description_(std::move(description)) {}

}  // namespace vintrel
