// The description is kept in UTF-16 as the platform gave it, for the error box; what() carries
// its UTF-8 form, so a handler that catches std::exception still has readable text.
#include "compaction/raised_error.h"

#include <utility>

#include "text/utf.h"

namespace vintrel {

RaisedError::RaisedError(std::u16string description)
    : std::runtime_error(ToUtf8(description)), description_(std::move(description)) {}

}  // namespace vintrel
