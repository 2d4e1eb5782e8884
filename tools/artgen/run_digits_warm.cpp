// The first digit font: the second's glyphs, orange at the top to pink at the
// bottom, index = digit.
#include "digits_font.h"
#include "runs.h"

namespace art {

Image565 draw_digits_warm(int index, int, int width, int height) {
  return draw_digit(index, DigitStyle::Warm, width, height);
}

}  // namespace art
