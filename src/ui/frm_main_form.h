// frmMain as designed, for every window that shows it: the captions, the controls' places in
// twips (1/1440 inch) from the top left of the client area, converted by each window with its
// display's dots per inch, and the buttons' font.
#pragma once

namespace vintrel::form {

struct TwipsRect {
  int left;
  int top;
  int width;
  int height;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidth = 3405;
inline constexpr int kClientHeight = 4500;

inline constexpr char16_t kCaption[] = u"Vintrel";
inline constexpr char16_t kErrorTitle[] = u"ОШИБКА";

// In tab order: the two buttons, then the log pane, which stands between them.
inline constexpr TwipsRect kCmdLift{200, 250, 1500, 500};
inline constexpr char16_t kCmdLiftCaption[] = u"Сжать";
inline constexpr TwipsRect kCmdExit{200, 3750, 1500, 500};
inline constexpr char16_t kCmdExitCaption[] = u"Выход";
inline constexpr TwipsRect kText1{200, 1000, 3000, 2500};

// MS Sans Serif 9.75 points, normal weight, Cyrillic, so that the Russian captions show.
inline constexpr char16_t kButtonFontFace[] = u"MS Sans Serif";
inline constexpr int kButtonFontHundredthsOfPoint = 975;
inline constexpr int kButtonFontWeight = 400;
inline constexpr int kButtonFontCharset = 204;

}  // namespace vintrel::form
