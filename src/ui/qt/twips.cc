// Each value is converted on its own, left apart from width, with its own axis's dots per inch,
// so a control's size in pixels does not depend on where it stands.
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
