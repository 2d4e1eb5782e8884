// The second digit font: magenta at the top to blue at the bottom, index =
// digit.
#include "digits_font.h"
#include "runs.h"

namespace art {

Image565 draw_digits_cool(int index, int, int width, int height) {
  return draw_digit(index, DigitStyle::Cool, width, height);
}

}  // namespace art
