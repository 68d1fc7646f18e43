// Conversions between the UTF-16 text the program works in and the UTF-8 that POSIX
// interfaces and terminals take.
#pragma once

#include <string>
#include <string_view>

namespace vintrel {

// Unpaired surrogates and malformed bytes become U+FFFD; conversion never fails.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
// Appends one code point (at most U+10FFFF, not a surrogate) in UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace vintrel
