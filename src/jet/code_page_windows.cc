// MultiByteToWideChar is made to fail on bytes the code page leaves undefined
// (MB_ERR_INVALID_CHARS), as iconv does, and a lead byte alone is told apart by
// IsDBCSLeadByteEx, since the call fails on it the same way. A single byte that Windows reads
// as a private-use character is one its code page leaves undefined too (Windows fills those
// gaps of its single-byte code pages with characters of its own), as iconv has it.
#include "jet/code_page.h"

#include <windows.h>

#include "jet/jet_error.h"

namespace vintrel::jet {

struct CodePageConverter::System {
  UINT code_page;
};

CodePageConverter::CodePageConverter(uint16_t code_page) {
  if (!::IsValidCodePage(code_page)) {
    throw JetError(InCodePage(code_page) + " cannot be decoded: this system has no conversion for it.");
  }
  system_ = std::make_unique<System>(System{code_page});
}

CodePageConverter::~CodePageConverter() = default;

CodePageConverter::Outcome CodePageConverter::Convert(std::span<const uint8_t> bytes, std::u16string& text) const {
  const UINT code_page = system_->code_page;
  if (bytes.size() == 1 && ::IsDBCSLeadByteEx(code_page, bytes[0])) return Outcome::kIncomplete;
  wchar_t units[8];
  const int count = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<int>(bytes.size()), units, 8);
  if (count <= 0) return Outcome::kUndefined;
  if (bytes.size() == 1 && units[0] >= 0xE000 && units[0] <= 0xF8FF) return Outcome::kUndefined;
  text.append(units, units + count);
  return Outcome::kCharacter;
}

}  // namespace vintrel::jet
