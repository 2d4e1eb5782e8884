// What the full-screen status screens (lock, time-out, missing cartridge)
// share: one background, one place for the icon and the caption, one light,
// so the three read as one family.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "canvas.h"

namespace art::screen {

// The icon sits in the upper two thirds, the caption in the lower third.
constexpr float kIconX = 40;
constexpr float kIconY = 60;
constexpr int kCaptionTop = 114;
constexpr int kCaptionLineGap = 4;

// The device's screen colour, charcoal.
Canvas background(int width, int height);

// Up to a few centred lines from kCaptionTop down, each at scale 2 where it
// fits inside the side margins, else scale 1.
void caption(Canvas& canvas, const std::vector<std::string>& lines, Color ink);

// A blurred copy of the shape, offset down and to the right (the light comes
// from the upper left), darkening what is under it.
void soft_shadow(Canvas& canvas, const Path& shape, Vec2 offset, int blur, float opacity);

// A surface's colours from its darkest to its lit face, plus how much white
// its highlight adds.
struct Material {
  Color dark, base, light;
  float shine = 0.5f;
};

// The screens' shared metals: polished steel, and brass in the bolt's colours.
Material steel();
Material brass();

// The colour of a surface whose normal leans by n (the normal's x and y, its
// length 0 for a flat face up to 1 for an edge on), lit from the upper left.
Color shade(const Material& m, Vec2 n);

// Shades a shape given its signed distance (negative inside, in pixels) as a
// raised slab whose rim rounds over within `bevel` pixels of the edge. `tilt`
// adds a faint gradient across the flat face, lighter towards the upper left,
// over `extent` pixels.
Shader slab(std::function<float(Vec2)> sdf, float bevel, Material m, Vec2 centre, float extent, float tilt = 0.25f);

// Shades a round tube along a centre line: `nearest` gives, for a pixel, the
// nearest point of the centre line; `radius` is half the tube's width.
Shader tube(std::function<Vec2(Vec2)> nearest, float radius, Material m);

// Signed distance from p to a rounded rectangle (negative inside).
float rounded_rect_sdf(Vec2 p, float x0, float y0, float x1, float y1, float radius);
// Nearest point to p on the segment a-b.
Vec2 nearest_on_segment(Vec2 p, Vec2 a, Vec2 b);

// Eases for motion.
float ease_in_out(float t);  // cubic, 0..1 -> 0..1
float ease_out(float t);     // quadratic
// Where frame `index` of `count` falls in a loop: 0 <= phase < 1, so the
// frame after the last is the first again.
inline float loop_phase(int index, int count) { return static_cast<float>(index) / static_cast<float>(count); }

// Coverage of a where b also covers: min of the two masks.
Mask intersect(const Mask& a, const Mask& b);

// A four-pointed sparkle of the given size, for glints.
Path sparkle(Vec2 centre, float size);

}  // namespace art::screen
