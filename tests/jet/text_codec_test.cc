#include "jet/text_codec.h"

#include <gtest/gtest.h>

#include <vector>

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

TEST(CodePageTextTest, Windows1252And1251) {
  std::vector<uint8_t> bytes = {'a', 0x80, 0xE9, 0x81};
  EXPECT_EQ(DecodeCodePageText(bytes, 1252), u"a\u20AC\u00E9\u0081");
  EXPECT_EQ(DecodeCodePageText(bytes, 1251), u"a\u0402\u0439\u0403");
  EXPECT_EQ(DecodeCodePageText(bytes, 437), DecodeCodePageText(bytes, 1252));
}

TEST(TextEncodingTest, ChoosesByVersion) {
  std::vector<uint8_t> bytes = {'h', 0, 'i', 0};
  EXPECT_EQ((TextEncoding{true, 0}.Decode(bytes)), u"hi");
  EXPECT_EQ((TextEncoding{false, 1252}.Decode(bytes)), std::u16string(u"h\0i\0", 4));
}

}  // namespace
}  // namespace vintrel::jet
