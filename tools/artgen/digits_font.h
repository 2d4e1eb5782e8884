// The device's two 9 x 12 digit fonts: one set of anti-aliased glyphs, inked
// with a vertical gradient per row on black. The second style's 0 is the
// font's master; every other glyph is drawn to match its weight and shading.
#pragma once

#include "canvas.h"
#include "rgb565.h"

namespace art {

constexpr int kDigitWidth = 9;
constexpr int kDigitHeight = 12;

enum class DigitStyle {
  Warm,  // orange at the top to pink at the bottom
  Cool,  // magenta at the top to blue at the bottom
};

// Coverage of digit 0-9 as drawn from strokes alone, before the master's
// given pixels replace any (the 0 drawn so shows the strokes' weight).
Mask drawn_coverage(int digit);

// Ink coverage of digit 0-9 (kDigitWidth x kDigitHeight, 0 to 1), the same
// for both styles.
Mask digit_coverage(int digit);

// Digit 0-9 in a style, on black at the top-left of a width x height bitmap;
// any other digit gives a black bitmap.
Image565 draw_digit(int digit, DigitStyle style, int width, int height);

}  // namespace art
