#include "logo_mark.h"

#include <algorithm>
#include <cmath>

#include "palette.h"
#include "shapes.h"
#include "turn_3d.h"

namespace art::logo {
namespace {

const Color kWarmWhite = hex(0xFFF6DE);

Color fade(Color c, float brightness) { return mix(palette::charcoal, c, brightness); }

// The part of a contour above the line y = limit (Sutherland-Hodgman against
// one half-plane; a concave contour stays one contour, which fills correctly).
Contour clip_above(const Contour& in, float limit) {
  Contour out;
  for (size_t i = 0; i < in.size(); ++i) {
    Vec2 a = in[i], b = in[(i + 1) % in.size()];
    bool a_in = a.y <= limit, b_in = b.y <= limit;
    if (a_in) out.push_back(a);
    if (a_in != b_in) out.push_back(lerp(a, b, (limit - a.y) / (b.y - a.y)));
  }
  return out;
}

// Middle of the contour's span along the row y: where the stroke of the
// bolt is at that height.
float middle_at(const Contour& c, float y) {
  float lo = 1e9f, hi = -1e9f;
  for (size_t i = 0; i < c.size(); ++i) {
    Vec2 a = c[i], b = c[(i + 1) % c.size()];
    if ((a.y <= y) == (b.y <= y)) continue;
    float x = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  return lo <= hi ? (lo + hi) / 2 : 0;
}

// Polished metal tube: diffuse light and a tight highlight from the light, with the
// tube's normal tilting across the ring's width.
Color ring_metal(const Look& look, float x, float y) {
  Vec2 d = Vec2{x, y} - look.centre;
  float r = std::max(length(d), 1e-3f);
  float mid = (look.ring_outer + look.ring_inner) / 2, half = (look.ring_outer - look.ring_inner) / 2;
  float u = std::clamp((r - mid) / half, -0.95f, 0.95f);
  const turn::Vec3 normal{d.x / r * u, d.y / r * u, -std::sqrt(1 - u * u)};  // z away from the viewer
  float diffuse = turn::logo_light().diffuse(normal);
  float shine = turn::logo_light().specular(normal, 18.0f);
  Color base = mix(mix(palette::graphite, palette::steel, 0.5f), palette::silver, diffuse);
  return base + palette::white * (0.55f * shine);
}

void draw_ring(Canvas& canvas, const Look& look) {
  float mid = (look.ring_outer + look.ring_inner) / 2, width = look.ring_outer - look.ring_inner;
  const float start = -kPi / 2;
  float end = start + 2 * kPi * look.ring_sweep;
  Path shape = look.ring_sweep >= 0.999f ? ring(look.centre, look.ring_outer, look.ring_inner)
                                         : Path(arc(look.centre, mid, start, end, width));
  // A faint shadow down and to the right lifts the ring off the screen.
  canvas.fill(shape.translated({0.8f, 1.0f}), palette::black, 0.35f * look.brightness);
  canvas.fill(shape, [&look, end](float x, float y) {
    Color c = ring_metal(look, x, y);
    if (look.ring_spark > 0) {
      // The newest part of the arc is still hot from being drawn.
      float behind = end - math::atan2(y - look.centre.y, x - look.centre.x);
      behind = std::fmod(behind + 4 * kPi, 2 * kPi);
      c = mix(c, kWarmWhite, look.ring_spark * math::exp(-behind / 0.7f));
    }
    return fade(c, look.brightness);
  });
  if (look.ring_spark > 0) {
    Vec2 head = look.centre + Vec2{mid * math::cos(end), mid * math::sin(end)};
    soft_light(canvas, head, 9, palette::bolt_yellow, 0.45f * look.ring_spark);
    soft_light(canvas, head, 4, palette::white, 0.8f * look.ring_spark);
  }
}

// The bolt as a thin slab: its side in shade down and to the right, the face
// lit from the upper left, and a bright rim along the edges facing the light.
void draw_bolt(Canvas& canvas, const Look& look) {
  const float h = look.bolt_height;
  Contour outline = bolt_at(look.centre, h);
  float top = look.centre.y - h / 2;
  float limit = top + (h + 2) * look.bolt_reveal;  // past the tip when revealed
  auto clipped = [limit](const Contour& c) { return clip_above(c, limit); };

  Path side;
  for (float k : {0.6f, 1.2f, 1.8f}) side.add(clipped(Path(outline).translated({k, k}).contours[0]));
  Color side_colour = fade(mix(palette::bolt_ember, palette::bolt_yellow, 0.75f * look.bolt_heat), look.brightness);
  canvas.fill(side, side_colour);

  Path face(clipped(outline));
  const float sx = 0.87f, sy = 0.5f;  // the light band travels this way
  canvas.fill(face, [&look, h, sx, sy](float x, float y) {
    Vec2 d = Vec2{x, y} - look.centre;
    float t = clamp01(dot(d, {0.35f, 0.94f}) / h + 0.5f);
    Color c = mix(palette::bolt_yellow, palette::bolt_amber, t * t);
    c = mix(c, kWarmWhite, look.bolt_heat);
    float s = (d.x * sx + d.y * sy) / (0.5f * h) - look.sheen;
    c = c + palette::white * (0.75f * math::exp(-s * s / 0.04f));
    return fade(c, look.brightness);
  });

  // Rim: inside the face but outside the face moved away from the light.
  Mask lit = rasterize(face, canvas.width(), canvas.height());
  Mask inner = rasterize(face.translated({0.9f, 0.9f}), canvas.width(), canvas.height());
  for (size_t i = 0; i < lit.alpha.size(); ++i) lit.alpha[i] = std::max(0.0f, lit.alpha[i] - inner.alpha[i]);
  Color rim = fade(mix(palette::bolt_yellow, palette::white, 0.65f), look.brightness);
  canvas.fill(lit, [rim](float, float) { return rim; }, 0.85f);

  if (look.bolt_reveal < 1) {
    // The front of the strike burns white as it runs down the bolt.
    float y = std::min(limit, top + h - 1);
    soft_light(canvas, {middle_at(outline, y), y}, 10, palette::bolt_yellow, 0.5f);
    soft_light(canvas, {middle_at(outline, y), y}, 5, palette::white, 0.9f);
  }
}

}  // namespace

Look calm_look(Vec2 centre, float ring_outer) {
  Look look;
  look.centre = centre;
  look.ring_outer = ring_outer;
  look.ring_inner = ring_outer * (26.0f / 30);
  look.bolt_height = ring_outer * (38.0f / 30);
  return look;
}

void soft_light(Canvas& canvas, Vec2 centre, float radius, Color color, float intensity) {
  if (intensity <= 0 || radius <= 0) return;
  int x0 = std::max(0, static_cast<int>(std::floor(centre.x - radius)));
  int x1 = std::min(canvas.width() - 1, static_cast<int>(std::ceil(centre.x + radius)));
  int y0 = std::max(0, static_cast<int>(std::floor(centre.y - radius)));
  int y1 = std::min(canvas.height() - 1, static_cast<int>(std::ceil(centre.y + radius)));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      Vec2 d = Vec2{static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f} - centre;
      float q = 1 - dot(d, d) / (radius * radius);
      if (q <= 0) continue;
      canvas.at(x, y) = canvas.at(x, y) + color * (intensity * q * q * q);
    }
}

void draw_logo(Canvas& canvas, const Look& look) {
  soft_light(canvas, look.centre, look.ring_outer + 6, palette::bolt_amber, 0.3f * look.glow);
  soft_light(canvas, look.centre, look.bolt_height * 0.55f, palette::bolt_yellow, 0.2f * look.glow);
  if (look.ring_sweep > 0) draw_ring(canvas, look);
  if (look.bolt_reveal > 0) draw_bolt(canvas, look);
  if (look.flash > 0) {
    soft_light(canvas, look.centre, look.ring_outer + 8, kWarmWhite, 0.55f * look.flash);
    soft_light(canvas, look.centre, look.bolt_height * 0.5f, palette::white, 0.6f * look.flash);
  }
}

}  // namespace art::logo
