#include "ui/qt/twips.h"

#include <cmath>

namespace vintrel {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}  // namespace

int TwipsToPixels(int twips, double dotsPerInch) {
  return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}

QRect TwipsToPixels(const TwipsRect& twips, double dotsPerInchX, double dotsPerInchY) {
  return QRect(TwipsToPixels(twips.left, dotsPerInchX), TwipsToPixels(twips.top, dotsPerInchY),
               TwipsToPixels(twips.width, dotsPerInchX), TwipsToPixels(twips.height, dotsPerInchY));
}

}  // namespace vintrel
