// The window's layout is given in twips (1/1440 inch) and drawn in pixels of the display it is
// on, as the original form designer measured it.
#pragma once

#include <QRect>

#include "ui/frm_main_form.h"

namespace vintrel {

using form::TwipsRect;

// Rounds to the nearest pixel; 15 twips make a pixel at 96 dots per inch.
int TwipsToPixels(int twips, double dotsPerInch);
QRect TwipsToPixels(const TwipsRect& twips, double dotsPerInchX, double dotsPerInchY);

}  // namespace vintrel
