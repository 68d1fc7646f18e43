#include "ui/qt/twips.h"

#include <gtest/gtest.h>

namespace vintrel {
namespace {

TEST(Twips, ConvertWithTheDisplaysDotsPerInch) {
  EXPECT_EQ(TwipsToPixels(3405, 96), 227);
  EXPECT_EQ(TwipsToPixels(4500, 96), 300);
  EXPECT_EQ(TwipsToPixels(250, 96), 17);  // 16.67 rounds up
  EXPECT_EQ(TwipsToPixels(200, 96), 13);  // 13.33 rounds down
  EXPECT_EQ(TwipsToPixels(3405, 120), 284);
  EXPECT_EQ(TwipsToPixels(3405, 144), 341);  // 340.5
  EXPECT_EQ(TwipsToPixels(TwipsRect{200, 1000, 3000, 2500}, 144, 72), QRect(20, 50, 300, 125));
}

}  // namespace
}  // namespace vintrel
