// The conversion of one Windows code page to UTF-16 by the system's own converter, so that
// the program carries no code-page tables of its own: the C library's iconv on POSIX systems
// (code_page_iconv.cc), MultiByteToWideChar on Windows (code_page_windows.cc). For the few
// bytes of one character at a time (text_codec.cc): each conversion starts afresh.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vintrel::jet {

inline std::string InCodePage(uint16_t code_page) { return "Text in code page " + std::to_string(code_page); }

class CodePageConverter {
 public:
  enum class Outcome { kCharacter, kIncomplete, kUndefined };

  // Raises JetError "Text in code page <n> cannot be decoded: <why>." when the system has no
  // converter for it.
  explicit CodePageConverter(uint16_t code_page);
  ~CodePageConverter();
  CodePageConverter(const CodePageConverter&) = delete;
  CodePageConverter& operator=(const CodePageConverter&) = delete;

  // Converts `bytes` as one string, appending its characters to `text`: kIncomplete when
  // they end within a character (a lead byte alone), kUndefined when the code page leaves
  // them undefined, and nothing appended then.
  Outcome Convert(std::span<const uint8_t> bytes, std::u16string& text) const;

 private:
  struct System;
  std::unique_ptr<System> system_;
};

}  // namespace vintrel::jet
