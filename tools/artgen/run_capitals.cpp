// The capitals run: each letter as the font defines it, white ink on black
// and nothing in between.
#include "capitals.h"
#include "runs.h"

namespace art {

Image565 draw_capitals(int index, int, int width, int height) {
  Image565 image(width, height, 0x0000);
  const char* const* rows = capital_rows(static_cast<char>('A' + index));
  for (int y = 0; y < height && y < kCapitalHeight; ++y)
    for (int x = 0; x < width && x < kCapitalWidth; ++x)
      if (rows[y][x] == '#') image.at(x, y) = 0xFFFF;
  return image;
}

}  // namespace art
