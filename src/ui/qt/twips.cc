#include "ui/qt/twips.h"

#include <cmath>

namespace vintrel {

int TwipsToPixels(int twips, double dotsPerInch) {
  return static_cast<int>(std::lround(twips * dotsPerInch / form::kTwipsPerInch));
}

QRect TwipsToPixels(const TwipsRect& twips, double dotsPerInchX, double dotsPerInchY) {
  return QRect(TwipsToPixels(twips.left, dotsPerInchX), TwipsToPixels(twips.top, dotsPerInchY),
               TwipsToPixels(twips.width, dotsPerInchX), TwipsToPixels(twips.height, dotsPerInchY));
}

}  // namespace vintrel
