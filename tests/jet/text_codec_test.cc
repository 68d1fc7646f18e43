#include "jet/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

std::u16string Jet4(std::vector<uint8_t> bytes) { return DecodeJet4Text(bytes); }

TEST(Jet4TextTest, PlainUcs2) {
  EXPECT_EQ(Jet4({'A', 0, 0x16, 0x04}), u"A\u0416");
  EXPECT_EQ(Jet4({}), u"");
  EXPECT_EQ(Jet4({'A', 0, 'B'}), u"A") << "a trailing odd byte is no character";
}

TEST(Jet4TextTest, CompressedRunsSwitchOnZeroBytes) {
  EXPECT_EQ(Jet4({0xFF, 0xFE, 'a', 'b', 'c'}), u"abc");
  // one-byte run, switch, two-byte run (U+0416), switch back, one-byte run
  EXPECT_EQ(Jet4({0xFF, 0xFE, 'x', 0, 0x16, 0x04, 0, 'y'}), u"x\u0416y");
  EXPECT_EQ(Jet4({0xFF, 0xFE, 0, 0x16, 0x04}), u"\u0416") << "may start with a switch";
  EXPECT_EQ(Jet4({0xFF, 0xFE}), u"");
}

std::u16string InCodePage(uint16_t code_page, std::vector<uint8_t> bytes) {
  return TextEncoding(code_page).Decode(bytes);
}

TEST(CodePageTextTest, Windows1252And1251) {
  std::vector<uint8_t> bytes = {'a', 0x80, 0xE9, 0x81};
  EXPECT_EQ(InCodePage(1252, bytes), u"a\u20AC\u00E9\u0081") << "undefined 0x81 reads as U+0081";
  EXPECT_EQ(InCodePage(1251, bytes), u"a\u0402\u0439\u0403");
}

TEST(CodePageTextTest, OtherCodePagesAreTheirOwnAndUnknownOnesRefused) {
  EXPECT_EQ(InCodePage(1250, {0x8C, 0xB9}), u"\u015A\u0105");  // 1252 would give U+0152 U+00B9
  EXPECT_EQ(InCodePage(1253, {0xC1, 0xAA}), u"\u0391\uFFFD");  // 0xAA is undefined
  EXPECT_EQ(InCodePage(1258, {'A', 0xCC}), u"A\u0300") << "one character per byte, never composed";
  // Shift-JIS: a lead byte takes the next byte, even one in the ASCII range; a lone lead byte
  // at the end is unreadable.
  EXPECT_EQ(InCodePage(932, {0x93, 0xFA, 'x', 0x95, 0x5C, 0x93}), u"\u65E5x\u8868\uFFFD");
  try {
    TextEncoding encoding(437);
    FAIL() << "code page 437 accepted";
  } catch (const JetError& error) {
    EXPECT_NE(std::string(error.what()).find("code page 437 is not supported"), std::string::npos)
        << error.what();
  }
}

TEST(TextEncodingTest, ChoosesByVersion) {
  std::vector<uint8_t> bytes = {'h', 0, 'i', 0};
  EXPECT_EQ(TextEncoding().Decode(bytes), u"hi");
  EXPECT_EQ(InCodePage(1252, bytes), std::u16string(u"h\0i\0", 4));
}

}  // namespace
}  // namespace vintrel::jet
