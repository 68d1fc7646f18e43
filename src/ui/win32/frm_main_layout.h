// The main window's layout, in twips (1/1440 inch) from the top left of its client area; the
// window converts them with the screen's dots per inch.
#pragma once

namespace vintrel::layout {

struct TwipsRect {
  int left;
  int top;
  int width;
  int height;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidth = 3405;
inline constexpr int kClientHeight = 4500;

// In tab order, which is also the order of creation.
inline constexpr TwipsRect kCmdLift{200, 250, 1500, 500};
inline constexpr TwipsRect kCmdExit{200, 3750, 1500, 500};
inline constexpr TwipsRect kText1{200, 1000, 3000, 2500};

// Control identifiers stay clear of IDOK and IDCANCEL, which the dialog manager sends for the
// Enter and Escape keys: the window has neither a default nor a cancel button.
inline constexpr int kCmdLiftId = 101;
inline constexpr int kCmdExitId = 102;
inline constexpr int kText1Id = 103;

// The buttons' font: MS Sans Serif 9.75 points, Cyrillic, so that the Russian captions show.
inline constexpr wchar_t kButtonFontFace[] = L"MS Sans Serif";
inline constexpr int kButtonFontHundredthsOfPoint = 975;
inline constexpr int kButtonFontWeight = 400;
inline constexpr int kButtonFontCharset = 204;

}  // namespace vintrel::layout
