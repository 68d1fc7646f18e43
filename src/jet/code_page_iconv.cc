// glibc knows each Windows code page as "CP" and its number.
#include "jet/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "jet/jet_error.h"

namespace vintrel::jet {

struct CodePageConverter::System {
  iconv_t converter;
  ~System() { iconv_close(converter); }
};

CodePageConverter::CodePageConverter(uint16_t code_page) {
  const std::string name = "CP" + std::to_string(code_page);
  iconv_t converter = iconv_open("UTF-16LE", name.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    throw JetError(InCodePage(code_page) + " cannot be decoded: this system's iconv has no converter from " + name +
                   " (" + std::strerror(errno) + ").");
  }
  system_.reset(new System{converter});
}

CodePageConverter::~CodePageConverter() = default;

CodePageConverter::Outcome CodePageConverter::Convert(std::span<const uint8_t> bytes, std::u16string& text) const {
  const iconv_t converter = system_->converter;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char16_t units[8];
  char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data()));
  size_t in_left = bytes.size();
  char* out = reinterpret_cast<char*>(units);
  size_t out_left = sizeof units;
  if (iconv(converter, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1)) {
    return errno == EINVAL ? Outcome::kIncomplete : Outcome::kUndefined;
  }
  // Emits what a stateful converter still holds back.
  iconv(converter, nullptr, nullptr, &out, &out_left);
  text.append(units, (sizeof units - out_left) / sizeof units[0]);
  return Outcome::kCharacter;
}

}  // namespace vintrel::jet
