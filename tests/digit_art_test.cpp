// The two 9 x 12 digit fonts as artgen draws them: every glyph of both
// styles is the same shape, inked with its style's gradient on black. (The
// exact pixels the program depends on are checked on the compiled catalogue.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "rgb565.h"
#include "runs.h"

namespace {

constexpr int kWidth = 9, kHeight = 12, kDigits = 10;

// The second style's 0 as the device shows it, top row first.

struct Style {
  const char* name;
  art::DrawBitmap draw;
};
const Style kStyles[] = {{"warm", art::draw_digits_warm}, {"cool", art::draw_digits_cool}};

toolkit::Image565 draw(const Style& style, int digit) { return style.draw(digit, kDigits, kWidth, kHeight); }

struct Rgb {
  int r, g, b;  // the panel's 5-, 6- and 5-bit channels
};
Rgb channels(uint16_t p) { return {p >> 11, (p >> 5) & 0x3F, p & 0x1F}; }
int brightness(uint16_t p) {
  Rgb c = channels(p);
  return 2 * c.r + c.g + 2 * c.b;  // channels on one scale
}
int channel_gap(uint16_t a, uint16_t b) {
  Rgb x = channels(a), y = channels(b);
  return std::max({std::abs(x.r - y.r), std::abs(x.g - y.g), std::abs(x.b - y.b)});
}

std::string hex(uint16_t p) {
  char s[8];
  std::snprintf(s, sizeof s, "%04X", p);
  return s;
}

// A style's full ink in row y: the brightest pixel of its 0 in that row.
uint16_t full_ink(const toolkit::Image565& zero, int y) {
  uint16_t best = 0;
  for (int x = 0; x < kWidth; ++x)
    if (brightness(zero.at(x, y)) > brightness(best)) best = zero.at(x, y);
  return best;
}

TEST(DigitArt, EveryDigitIsAGlyphOnBlack) {
  for (const Style& style : kStyles)
    for (int d = 0; d < kDigits; ++d) {
      SCOPED_TRACE(std::string(style.name) + " " + std::to_string(d));
      toolkit::Image565 image = draw(style, d);
      ASSERT_EQ(image.width, kWidth);
      ASSERT_EQ(image.height, kHeight);
      ASSERT_EQ(image.pixels.size(), static_cast<size_t>(kWidth * kHeight));
      int black = 0, ink = 0;
      for (uint16_t p : image.pixels) (p == 0x0000 ? black : ink)++;
      EXPECT_GE(ink, 20) << "too little ink for a digit";
      EXPECT_GE(black, 20) << "the background is not black";
      EXPECT_EQ(image.pixels, draw(style, d).pixels) << "drawing is not repeatable";
    }
}

TEST(DigitArt, BothStylesShareEveryGlyphsShape) {
  for (int d = 0; d < kDigits; ++d) {
    toolkit::Image565 warm = draw(kStyles[0], d), cool = draw(kStyles[1], d);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        EXPECT_EQ(warm.at(x, y) != 0, cool.at(x, y) != 0)
            << "digit " << d << " at (" << x << ", " << y << "): warm " << hex(warm.at(x, y)) << ", cool "
            << hex(cool.at(x, y));
  }
}

TEST(DigitArt, DigitsAreDistinctGlyphs) {
  std::vector<std::vector<bool>> shapes;
  for (int d = 0; d < kDigits; ++d) {
    std::vector<bool> shape;
    for (uint16_t p : draw(kStyles[1], d).pixels) shape.push_back(p != 0);
    for (size_t other = 0; other < shapes.size(); ++other)
      EXPECT_NE(shape, shapes[other]) << "digits " << other << " and " << d << " have one shape";
    shapes.push_back(shape);
  }
}

// Each row of every glyph is inked with the row colour of its style's 0:
// every row reaches it (the strokes are as heavy as the 0's), and no pixel
// outshines it.
TEST(DigitArt, EveryGlyphIsInkedWithItsStylesRowColours) {
  for (const Style& style : kStyles) {
    toolkit::Image565 zero = draw(style, 0);
    for (int d = 1; d < kDigits; ++d) {
      toolkit::Image565 image = draw(style, d);
      for (int y = 0; y < kHeight; ++y) {
        uint16_t ink = full_ink(zero, y);
        Rgb full = channels(ink);
        int nearest = 99;
        for (int x = 0; x < kWidth; ++x) {
          uint16_t p = image.at(x, y);
          Rgb c = channels(p);
          nearest = std::min(nearest, channel_gap(p, ink));
          EXPECT_TRUE(c.r <= full.r + 1 && c.g <= full.g + 1 && c.b <= full.b + 1)
              << style.name << " " << d << " at (" << x << ", " << y << "): " << hex(p) << " is brighter than the ink "
              << hex(ink);
        }
        EXPECT_LE(nearest, 2) << style.name << " " << d << ": row " << y << " never reaches the ink " << hex(ink);
      }
    }
  }
}

// The gradients run the right way: warm orange to pink, cool magenta to blue.
TEST(DigitArt, GradientsRunFromTopToBottomColour) {
  struct Case {
    int style, row;
    bool (*holds)(Rgb);
    const char* expected;
  };
  const Case cases[] = {
      {0, 0, [](Rgb c) { return 2 * c.r > c.g && c.g > 2 * c.b; }, "orange"},
      {0, kHeight - 1, [](Rgb c) { return 2 * c.r > 2 * c.b && 2 * c.b > c.g; }, "pink"},
      {1, 0, [](Rgb c) { return c.r > c.b && 2 * c.b > c.g; }, "magenta"},
      {1, kHeight - 1, [](Rgb c) { return 2 * c.b > c.g && c.g > 2 * c.r; }, "blue"},
  };
  for (const Case& c : cases) {
    uint16_t ink = full_ink(draw(kStyles[c.style], 0), c.row);
    EXPECT_TRUE(c.holds(channels(ink))) << kStyles[c.style].name << " row " << c.row << " is " << hex(ink)
                                        << ", not " << c.expected;
  }
}

TEST(DigitArt, IndexOutsideTheDigitsDrawsBlank) {
  for (const Style& style : kStyles)
    for (int index : {-1, kDigits, 1000}) {
      toolkit::Image565 image = style.draw(index, kDigits, kWidth, kHeight);
      ASSERT_EQ(image.pixels.size(), static_cast<size_t>(kWidth * kHeight));
      for (uint16_t p : image.pixels) EXPECT_EQ(p, 0x0000) << style.name << " index " << index;
    }
}

}  // namespace
