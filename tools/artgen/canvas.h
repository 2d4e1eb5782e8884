// A small anti-aliasing rasteriser for drawing the catalogue's art.
//
// Coordinates are in pixels with (0, 0) the top-left corner of the top-left
// pixel; pixel (x, y) covers [x, x+1) x [y, y+1) and its centre is
// (x + 0.5, y + 0.5). Colours are display values from 0 to 1 per channel, the
// same scale the RGB565 panel uses; to_image() rounds them to the nearest
// RGB565 value. Shapes are filled with exact horizontal coverage and 16
// sub-scanlines per pixel row, which keeps slow motion smooth at tiny sizes.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "art_math.h"
#include "rgb565.h"

namespace art {

// The programs' image type, in which the drawers hand over their pictures.
using toolkit::Image565;
using toolkit::pack565;

constexpr float kPi = 3.14159265358979323846f;

struct Vec2 {
  float x = 0, y = 0;
};
inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, float s) { return {a.x * s, a.y * s}; }
inline float dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline float length(Vec2 a) { return std::sqrt(dot(a, a)); }
inline Vec2 lerp(Vec2 a, Vec2 b, float t) { return a + (b - a) * t; }
// Rotation by angle radians, clockwise on screen (y points down).
inline Vec2 rotate(Vec2 p, float angle) {
  float c = math::cos(angle), s = math::sin(angle);
  return {p.x * c - p.y * s, p.x * s + p.y * c};
}

struct Color {
  float r = 0, g = 0, b = 0;
};
inline Color operator*(Color c, float s) { return {c.r * s, c.g * s, c.b * s}; }
inline Color operator+(Color a, Color b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Color mix(Color a, Color b, float t) { return a * (1 - t) + b * t; }
// 0xRRGGBB.
inline Color hex(unsigned rgb) {
  return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
          static_cast<float>(rgb & 0xFF) / 255.0f};
}
// An RGB565 value as the panel shows it.
inline Color from565(uint16_t p) {
  return {static_cast<float>(p >> 11) / 31.0f, static_cast<float>((p >> 5) & 0x3F) / 63.0f,
          static_cast<float>(p & 0x1F) / 31.0f};
}
uint16_t to565(Color c);  // nearest RGB565 value, channels clamped to [0, 1]

inline float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float smoothstep(float e0, float e1, float x) {
  float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

using Contour = std::vector<Vec2>;  // closed polygon, last point joins the first

// One or more contours filled together. With the non-zero rule a contour
// wound the other way cuts a hole; with even-odd any inner contour does.
struct Path {
  std::vector<Contour> contours;

  Path() = default;
  Path(Contour c) { contours.push_back(std::move(c)); }  // NOLINT: a contour is a path
  Path& add(Contour c) {
    contours.push_back(std::move(c));
    return *this;
  }
  Path& add(const Path& p) {
    contours.insert(contours.end(), p.contours.begin(), p.contours.end());
    return *this;
  }
  // Maps every point through f.
  Path transformed(const std::function<Vec2(Vec2)>& f) const;
  Path translated(Vec2 d) const;
  Path scaled(Vec2 about, float s) const;
  Path rotated(Vec2 about, float angle) const;
};

// Shape builders. Segment counts follow the size so curves stay round.
Contour circle(Vec2 c, float r);
Contour ellipse(Vec2 c, float rx, float ry, float rotation = 0);
Contour rect(float x0, float y0, float x1, float y1);
Contour rounded_rect(float x0, float y0, float x1, float y1, float radius);
Contour capsule(Vec2 a, Vec2 b, float width);  // a line with round caps
Contour reversed(Contour c);
// The contour wound clockwise on screen (positive signed area with y down),
// so that contours joined in one path add up under the non-zero rule.
Contour clockwise(Contour c);
// A ring: outer circle with the inner one as a hole (non-zero rule).
Path ring(Vec2 c, float r_outer, float r_inner);
// A stroked circular arc from angle a0 to a1 (radians, clockwise from +x),
// with round caps.
Contour arc(Vec2 c, float r, float a0, float a1, float width);
// A polyline stroked with round joins and caps, as the union of capsules.
Path polyline(const std::vector<Vec2>& points, float width);

enum class FillRule { NonZero, EvenOdd };

// Per-pixel coverage, 0 to 1.
struct Mask {
  int width = 0, height = 0;
  std::vector<float> alpha;
  float at(int x, int y) const { return alpha[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};
Mask rasterize(const Path& path, int width, int height, FillRule rule = FillRule::NonZero);

using Shader = std::function<Color(float x, float y)>;  // colour at a pixel centre

class Canvas {
 public:
  Canvas(int width, int height, Color background = {});

  int width() const { return width_; }
  int height() const { return height_; }
  Color& at(int x, int y) { return px_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)]; }
  Color at(int x, int y) const { return px_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)]; }

  // Paints colour over the path's coverage, times opacity.
  void fill(const Path& path, Color color, float opacity = 1, FillRule rule = FillRule::NonZero);
  void fill(const Path& path, const Shader& shader, float opacity = 1, FillRule rule = FillRule::NonZero);
  // Paints through a coverage mask computed beforehand.
  void fill(const Mask& mask, const Shader& shader, float opacity = 1);
  // Paints colour with a per-pixel opacity field over the whole canvas
  // (smooth fields such as smoke and glows need no anti-aliasing).
  void blend_field(const std::function<float(float x, float y)>& alpha, Color color);
  void blend_field(const std::function<float(float x, float y)>& alpha, const Shader& shader);
  // Adds light: colour times intensity falling off as a Gaussian of radius.
  void glow(Vec2 centre, float radius, Color color, float intensity);

  // Text in the catalogue's 5 x 7 capitals, each font pixel drawn as a
  // scale x scale block on whole pixels (the font is pixel art). Letters A-Z
  // and spaces; one blank font column between letters. Any other character
  // throws MissingGlyph (capitals.h), from text_width too.
  void text(const std::string& s, int x, int y, int scale, Color color);
  void text_centred(const std::string& s, int centre_x, int y, int scale, Color color);
  static int text_width(const std::string& s, int scale);

  Image565 to_image() const;

 private:
  int width_, height_;
  std::vector<Color> px_;
};

}  // namespace art
