#include "digits_font.h"

#include <algorithm>
#include <cstddef>

#include "palette.h"

namespace art {
namespace {

// The second style's 0 exactly as the device shows it: the font's master.
// Its fully inked pixels give that style's colour per row, its edges the
// anti-aliasing every other glyph is drawn to.
constexpr uint16_t kMasterZero[kDigitHeight][kDigitWidth] = {
    {0x0000, 0x80EC, 0xD9D5, 0xF1F7, 0xF1F8, 0xF1F7, 0xD9B5, 0x810C, 0x0000},
    {0x790D, 0xD9F8, 0xD9F8, 0xE218, 0xE1F8, 0xE218, 0xE218, 0xE218, 0x790D},
    {0xB9F6, 0xCA19, 0x3887, 0x0000, 0x0000, 0x0000, 0x38A7, 0xCA19, 0xB9F7},
    {0xB23A, 0xBA3A, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0xBA3A, 0xBA3A},
    {0xAA3A, 0xA23A, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0xA23A, 0xA23A},
    {0x925B, 0x925B, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x925B, 0x925B},
    {0x7A5C, 0x7A5C, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x7A7C, 0x825C},
    {0x6A7C, 0x6A7C, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x6A7C, 0x6A7C},
    {0x5A9D, 0x5A7D, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x529D, 0x5A9D},
    {0x3A5B, 0x429E, 0x10C9, 0x0000, 0x0000, 0x0000, 0x10C9, 0x429E, 0x3A5B},
    {0x1970, 0x32BE, 0x2ABF, 0x2ABE, 0x2ABE, 0x32BE, 0x2ABE, 0x2ABE, 0x1970},
    {0x0000, 0x0970, 0x1A7C, 0x1ABF, 0x1ADF, 0x1ABF, 0x1A9C, 0x0970, 0x0000},
};

// Master data of the second style's 9: the left of its top row, as given.
constexpr uint16_t kMasterNineTop[] = {0x0800, 0x80EC, 0xD9D5, 0xF1F7};
constexpr int kMasterNineTopCount = 4;

// Digits 1-9 are strokes 2 px wide whose centre lines turn on a 2 px radius,
// the way the master 0 is drawn; the radii of a turn's outer and inner edges
// are measured off the master's anti-aliased corners.
constexpr float kHalfStroke = 1.0f;
constexpr float kBendRadius = 2.0f;
constexpr float kOuterRadius = 3.1f;
constexpr float kInnerRadius = 1.15f;

// Rendered coverage under this is dust, not ink; at or above it every row
// colour of both styles rounds to a visible pixel.
constexpr float kMinInk = 1.0f / 48;

float brightness(Color c) { return c.r + c.g + c.b; }
float dot3(Color a, Color b) { return a.r * b.r + a.g * b.g + a.b * b.b; }

// Second style, the full ink of row y: the master 0's fully inked pixels of
// that row averaged (they differ by a unit of rounding here and there).
Color cool_row_colour(int y) {
  float brightest = 0;
  for (int x = 0; x < kDigitWidth; ++x) brightest = std::max(brightest, brightness(from565(kMasterZero[y][x])));
  Color sum{};
  int n = 0;
  for (int x = 0; x < kDigitWidth; ++x) {
    Color c = from565(kMasterZero[y][x]);
    if (brightness(c) >= 0.97f * brightest) {
      sum = sum + c;
      ++n;
    }
  }
  return sum * (1.0f / static_cast<float>(n));
}

Color warm_row_colour(int y) {
  return mix(palette::orange, palette::pink, static_cast<float>(y) / static_cast<float>(kDigitHeight - 1));
}

Color row_colour(DigitStyle style, int y) { return style == DigitStyle::Cool ? cool_row_colour(y) : warm_row_colour(y); }

// How much of row y's full ink a shown pixel is: least squares over the
// channels, so a faint pixel rounded to one lit channel still counts.
float coverage_of(uint16_t shown, int y) {
  Color p = from565(shown), c = cool_row_colour(y);
  return clamp01(dot3(p, c) / dot3(c, c));
}

// The master value of a second-style pixel, if the font gives one.
bool master_pixel(int digit, int x, int y, uint16_t& value) {
  if (digit == 0) {
    value = kMasterZero[y][x];
    return true;
  }
  if (digit == 9 && y == 0 && x < kMasterNineTopCount) {
    value = kMasterNineTop[x];
    return true;
  }
  return false;
}

// A glyph's strokes, every contour wound the same way so that overlapping
// pieces fill as one shape under the non-zero rule.
class Strokes {
 public:
  // A straight stroke with flat ends, centre line from a to b.
  Strokes& line(Vec2 a, Vec2 b) {
    Vec2 d = b - a;
    Vec2 n = Vec2{-d.y, d.x} * (kHalfStroke / length(d));
    add({a + n, b + n, b - n, a - n});
    return *this;
  }
  // A quarter turn of the centre line around `centre`, from angle a0 to a1
  // (degrees, a multiple of 90 apart by 90; clockwise from +x as y points
  // down). Drawn from the outside corner of the turn, whose outer and inner
  // radii are the master's.
  Strokes& bend(Vec2 centre, float a0, float a1) {
    float mid = (a0 + a1) / 2 * kPi / 180;
    Vec2 quadrant{math::cos(mid) < 0 ? -1.0f : 1.0f, math::sin(mid) < 0 ? -1.0f : 1.0f};
    float reach = kBendRadius + kHalfStroke;
    Vec2 corner = centre + Vec2{quadrant.x * reach, quadrant.y * reach};
    // Local (u, v) run from the corner back towards the centre.
    auto at = [&](float u, float v) { return corner - Vec2{quadrant.x * u, quadrant.y * v}; };
    const float stroke = 2 * kHalfStroke, box = std::max(kOuterRadius, stroke + kInnerRadius);
    constexpr int kSteps = 16;
    Contour c{at(0, box)};
    for (int i = 0; i <= kSteps; ++i) {  // outer edge
      float a = kPi / 2 * static_cast<float>(i) / kSteps;
      c.push_back(at(kOuterRadius * (1 - math::cos(a)), kOuterRadius * (1 - math::sin(a))));
    }
    c.push_back(at(box, 0));
    c.push_back(at(box, stroke));
    const float ic = stroke + kInnerRadius;
    for (int i = 0; i <= kSteps; ++i) {  // inner edge
      float a = kPi / 2 * static_cast<float>(i) / kSteps;
      c.push_back(at(ic - kInnerRadius * math::sin(a), ic - kInnerRadius * math::cos(a)));
    }
    c.push_back(at(stroke, box));
    add(std::move(c));
    return *this;
  }
  // A round joint where two strokes meet at an angle.
  Strokes& joint(Vec2 at) {
    add(circle(at, kHalfStroke));
    return *this;
  }
  const Path& path() const { return path_; }

 private:
  void add(Contour c) { path_.add(clockwise(std::move(c))); }
  Path path_;
};

// Centre lines on the master's grid: stems at x 1 and 8, bars at y 1, 6
// and 11, so strokes sit on whole pixels like the 0's.
Path glyph_path(int digit) {
  Strokes s;
  switch (digit) {
    case 0:  // the master's outline, to check the others' weight against
      s.bend({3, 3}, 180, 270).line({3, 1}, {6, 1}).bend({6, 3}, 270, 360).line({8, 3}, {8, 9});
      s.bend({6, 9}, 0, 90).line({6, 11}, {3, 11}).bend({3, 9}, 90, 180).line({1, 9}, {1, 3});
      break;
    case 1:
      s.line({5, 0}, {5, 12}).line({4.5f, 1}, {2.2f, 3.3f}).joint({2.2f, 3.3f});
      break;
    case 2:
      s.line({1, 4}, {1, 3}).bend({3, 3}, 180, 270).line({3, 1}, {6, 1}).bend({6, 3}, 270, 360);
      s.line({8, 3}, {8, 4}).bend({6, 4}, 0, 90).line({6, 6}, {3, 6}).bend({3, 8}, 270, 180);
      s.line({1, 8}, {1, 12}).line({1, 11}, {9, 11});
      break;
    case 3:
      s.line({1, 3.5f}, {1, 3}).bend({3, 3}, 180, 270).line({3, 1}, {6, 1}).bend({6, 3}, 270, 360);
      s.line({8, 3}, {8, 4}).bend({6, 4}, 0, 90).line({6, 6}, {3, 6}).bend({6, 8}, 270, 360);
      s.line({8, 8}, {8, 9}).bend({6, 9}, 0, 90).line({6, 11}, {3, 11}).bend({3, 9}, 90, 180);
      s.line({1, 9}, {1, 8.5f});
      break;
    case 4:
      s.line({1, 0}, {1, 4}).bend({3, 4}, 180, 90).line({3, 6}, {9, 6}).line({7, 0}, {7, 12});
      break;
    case 5:
      s.line({1, 1}, {9, 1}).line({1, 0}, {1, 7}).line({1, 6}, {6, 6}).bend({6, 8}, 270, 360);
      s.line({8, 8}, {8, 9}).bend({6, 9}, 0, 90).line({6, 11}, {0, 11});
      break;
    case 6:
    case 9:  // the 9 is the 6 turned half a turn
      s.line({8, 3.5f}, {8, 3}).bend({6, 3}, 270, 360).line({6, 1}, {3, 1}).bend({3, 3}, 180, 270);
      s.line({1, 3}, {1, 9}).bend({3, 9}, 90, 180).line({3, 11}, {6, 11}).bend({6, 9}, 0, 90);
      s.line({8, 9}, {8, 8}).bend({6, 8}, 270, 360).line({6, 6}, {3, 6}).bend({3, 8}, 180, 270);
      break;
    case 7:
      s.line({0, 1}, {6, 1}).bend({6, 3}, 270, 360).joint({8, 3}).line({8, 3}, {3.5f, 12});
      break;
    case 8:
      s.bend({3, 3}, 180, 270).line({3, 1}, {6, 1}).bend({6, 3}, 270, 360).line({8, 3}, {8, 4});
      s.bend({6, 4}, 0, 90).line({6, 6}, {3, 6}).bend({3, 4}, 90, 180).line({1, 4}, {1, 3});
      s.bend({3, 8}, 180, 270).bend({6, 8}, 270, 360).line({8, 8}, {8, 9}).bend({6, 9}, 0, 90);
      s.line({6, 11}, {3, 11}).bend({3, 9}, 90, 180).line({1, 9}, {1, 8});
      break;
    default:
      break;
  }
  if (digit == 9)
    return s.path().transformed([](Vec2 p) { return Vec2{kDigitWidth - p.x, kDigitHeight - p.y}; });
  return s.path();
}

}  // namespace

Mask drawn_coverage(int digit) {
  Mask m = rasterize(glyph_path(digit), kDigitWidth, kDigitHeight);
  for (float& a : m.alpha)
    if (a < kMinInk) a = 0;
  return m;
}

Mask digit_coverage(int digit) {
  Mask m = drawn_coverage(digit);
  for (int y = 0; y < kDigitHeight; ++y)
    for (int x = 0; x < kDigitWidth; ++x) {
      uint16_t given;
      if (master_pixel(digit, x, y, given))
        m.alpha[static_cast<size_t>(y * kDigitWidth + x)] = coverage_of(given, y);
    }
  return m;
}

Image565 draw_digit(int digit, DigitStyle style, int width, int height) {
  Image565 image(std::max(width, 0), std::max(height, 0), 0x0000);
  if (digit < 0 || digit > 9) return image;
  Mask coverage = digit_coverage(digit);
  for (int y = 0; y < std::min(height, kDigitHeight); ++y) {
    Color ink = row_colour(style, y);
    for (int x = 0; x < std::min(width, kDigitWidth); ++x) {
      uint16_t given;
      if (style == DigitStyle::Cool && master_pixel(digit, x, y, given))
        image.at(x, y) = given;
      else
        image.at(x, y) = to565(ink * coverage.at(x, y));
    }
  }
  return image;
}

}  // namespace art
