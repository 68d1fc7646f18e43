// The databases a run compacts, in the order it compacts them.
#pragma once

#include <array>
#include <string_view>

namespace vintrel {

inline constexpr std::array<std::u16string_view, 6> DatabaseList = {
    u"lift", u"log", u"prof", u"rang_lift", u"rang_log", u"rang_prof",
};

}  // namespace vintrel
