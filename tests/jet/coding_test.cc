#include "jet/coding.h"

#include <gtest/gtest.h>

#include <vector>

namespace vintrel::jet {
namespace {

TEST(ByteViewTest, ReadsLittleAndBigEndianFields) {
  std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  ByteView view(bytes, "data page", 7);
  EXPECT_EQ(view.U16(0), 0x0201);
  EXPECT_EQ(view.U24(1), 0x040302u);
  EXPECT_EQ(view.U32(4), 0x08070605u);
  EXPECT_EQ(view.U64(0), 0x0807060504030201ull);
  EXPECT_EQ(view.BigU24(0), 0x010203u);
  EXPECT_EQ(view.BigU32(4), 0x05060708u);
}

TEST(ByteViewTest, ReadsPastTheEndRaiseAnErrorNamingThePage) {
  std::vector<uint8_t> bytes(6);
  ByteView view(bytes, "index page", 42);
  EXPECT_NO_THROW(view.U16(4));
  try {
    view.U32(3);
    FAIL() << "read past the end";
  } catch (const JetError& error) {
    EXPECT_STREQ(error.what(),
                 "The database is damaged: index page at page 42: 4 bytes at offset 3 lie "
                 "outside its 6 bytes.");
  }
  EXPECT_THROW(view.Sub(2, 5), JetError);
  EXPECT_THROW(view.Sub(SIZE_MAX, 2), JetError);  // offset + length would wrap
  EXPECT_EQ(view.Sub(6, 0).size(), 0u);
}

TEST(ByteViewTest, SubViewsKeepTheirPageAndCheckTheirOwnBounds) {
  std::vector<uint8_t> bytes = {0, 1, 2, 3, 4, 5};
  ByteView sub = ByteView(bytes, "row", 9).Sub(2, 2);
  EXPECT_EQ(sub.U8(1), 3);
  EXPECT_EQ(sub.page(), 9u);
  EXPECT_THROW(sub.U8(2), JetError);
}

TEST(ByteViewTest, FloatingPointFieldsAreIeeeLittleEndian) {
  std::vector<uint8_t> bytes = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, 0x00, 0x00, 0x80, 0xBF};
  ByteView view(bytes, "row", 1);
  EXPECT_EQ(view.F64(0), 1.0);
  EXPECT_EQ(view.F32(8), -1.0f);
}

}  // namespace
}  // namespace vintrel::jet
