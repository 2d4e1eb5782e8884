// The emblem run: a coin-like medallion (a raised rim, an inner field and the
// product's bolt embossed at its centre) turning one full turn about its
// vertical axis. It is a thin disc: the face narrows to an ellipse, the milled
// edge shows as a band when it turns, and the back carries the bolt pressed
// in from the other side, mirrored and darker. Black behind it, so it sits on
// any screen.
#include <algorithm>
#include <vector>

#include "palette.h"
#include "runs.h"
#include "shapes.h"
#include "turn_3d.h"

namespace art {
namespace {

using turn::Vec3;

constexpr float kRadius = 44;      // outer edge of the rim
constexpr float kRimInner = 35;    // where the rim meets the field
constexpr float kThickness = 7;    // face to face
constexpr float kBoltHeight = 54;
constexpr float kEmboss = 2.5f;    // the bolt stands this far off the front
constexpr float kDeboss = 1.8f;    // and is pressed this deep into the back
constexpr int kReeds = 100;        // ridges around the milled edge

// Where one face of the disc lands on screen. Local coordinates are pixels on
// the face, x to the right as seen from the front; the view is orthographic,
// so the face is the round design squeezed horizontally by cos(angle).
struct FaceMap {
  Vec2 centre;
  float squeeze;  // cos(angle); negative when seen from behind
  float shift;    // horizontal offset of the face from the turning axis
  bool front;
  float angle;
  Vec3 normal;    // world space, towards the viewer

  Vec2 to_screen(Vec2 p) const { return {centre.x + shift + p.x * squeeze, centre.y + p.y}; }
  Vec2 to_local(Vec2 s) const { return {(s.x - centre.x - shift) / squeeze, s.y - centre.y}; }
  Path map(const Path& local) const {
    return local.transformed([this](Vec2 p) { return to_screen(p); });
  }
  // How far a point `height` off the face (towards the viewer) moves on screen.
  float lift(float height) const { return (front ? -height : height) * math::sin(angle); }
};

FaceMap visible_face(Vec2 centre, float angle) {
  float c = math::cos(angle), s = math::sin(angle);
  bool front = c >= 0;
  Vec3 n = turn::turn_y({0, 0, front ? -1.0f : 1.0f}, angle);
  return {centre, c, (front ? -kThickness : kThickness) / 2 * s, front, angle, n};
}

// Polished metal: a diffuse ramp through the palette's greys plus a hot spot.
Color metal(Vec3 normal, float shade) {
  float t = 0.12f + 0.72f * turn::turning_light().diffuse(normal) + shade;
  Color c = turn::ramp(palette::graphite * 0.7f, palette::steel, palette::silver, t);
  return mix(c, palette::white, 0.7f * turn::turning_light().specular(normal, 18));
}

// A broad soft reflection that slides across the face as it turns, so the
// flat metal reads as polished rather than painted.
float sheen(Vec2 s, Vec2 centre, float angle) {
  float b = ((s.x - centre.x) * 0.62f + (s.y - centre.y) * 0.78f) / kRadius + 0.9f * math::sin(angle);
  return math::exp(-b * b / 0.08f);
}

// The milled edge: the visible half of the disc's cylinder, with ridges
// across it that fade out where they would crowd closer than the pixels.
void draw_edge(Canvas& canvas, Vec2 centre, float angle) {
  float c = math::cos(angle), s = math::sin(angle);
  float half_shift = kThickness / 2 * std::fabs(s), rx = kRadius * std::fabs(c);
  Contour hull;
  const int n = 96;
  for (int k = 0; k <= 2 * n; ++k) {
    float phi = -kPi / 2 + kPi * static_cast<float>(k) / static_cast<float>(n);
    float side = k <= n ? half_shift : -half_shift;
    hull.push_back({centre.x + side + rx * math::cos(phi), centre.y + kRadius * math::sin(phi)});
  }
  float sign = s >= 0 ? 1.0f : -1.0f;
  canvas.fill(Path(hull), [=](float x, float y) {
    float sp = std::clamp((y - centre.y) / kRadius, -1.0f, 1.0f);
    float cp = sign * std::sqrt(1 - sp * sp);
    Vec3 normal{cp * c, sp, -cp * s};
    // Ridge spacing on screen shrinks towards the top and bottom.
    float spacing = std::fabs(cp) * kRadius * 2 * kPi / kReeds;
    float ridges = math::cos(math::asin(sp) * kReeds) * smoothstep(1.6f, 2.6f, spacing);
    // Position across the thickness, 0 at the front face to 1 at the back.
    float across = std::fabs(s) > 1e-3f ? ((x - centre.x - kRadius * cp * c) / s) / kThickness + 0.5f : 0.5f;
    float chamfer = smoothstep(0.0f, 0.22f, across) * smoothstep(1.0f, 0.78f, across);
    return metal(normal, 0.1f * ridges - 0.25f * (1 - chamfer)) * (0.8f + 0.2f * chamfer);
  });
}

// The rim's rounded profile: its normal tips towards the centre on the inner
// side and outwards on the outer side.
Vec3 rim_normal(const FaceMap& face, Vec2 local, float angle) {
  float r = std::max(length(local), 1e-3f);
  float tilt = (clamp01((r - kRimInner) / (kRadius - kRimInner)) - 0.45f) * 1.7f;
  float across = math::sin(tilt), up = math::cos(tilt);
  Vec3 n{local.x / r * across, local.y / r * across, face.front ? -up : up};
  return turn::turn_y(n, angle);
}

void draw_face_metal(Canvas& canvas, const FaceMap& face, float angle) {
  Vec2 centre = face.centre;
  // Rim over the whole face, then the field inside it.
  canvas.fill(face.map(Path(circle({0, 0}, kRadius))), [&](float x, float y) {
    Vec3 n = rim_normal(face, face.to_local({x, y}), angle);
    return mix(metal(n, 0), palette::white, 0.25f * sheen({x, y}, centre, angle));
  });
  canvas.fill(face.map(ring({0, 0}, kRimInner + 0.4f, kRimInner - 1.0f)), palette::black, 0.6f);
  float field_dim = face.front ? 0.0f : 0.12f;
  canvas.fill(face.map(Path(circle({0, 0}, kRimInner - 1.0f))), [&](float x, float y) {
    float t = 0.12f + 0.5f * turn::turning_light().diffuse(face.normal) - field_dim +
              0.12f * -((x - centre.x) * 0.6f + (y - centre.y) * 0.8f) / kRimInner;
    Color c = turn::ramp(palette::graphite * 0.6f, palette::graphite, palette::steel, t);
    return mix(c, palette::silver, 0.35f * sheen({x, y}, centre, angle));
  });
  // A fine engraved ring inside the field frames the bolt.
  canvas.fill(face.map(ring({0, 0}, kRimInner - 4.0f, kRimInner - 4.9f)), palette::black, 0.45f);
  canvas.fill(face.map(ring({0, 0}, kRimInner - 4.9f, kRimInner - 5.5f)), palette::steel, 0.35f);
}

// Coverage of a but not b, and of both: for rims and recesses cut from two
// copies of one outline.
Mask minus(Mask a, const Mask& b) {
  for (size_t i = 0; i < a.alpha.size(); ++i) a.alpha[i] *= 1 - b.alpha[i];
  return a;
}
Mask both(Mask a, const Mask& b) {
  for (size_t i = 0; i < a.alpha.size(); ++i) a.alpha[i] = std::min(a.alpha[i], b.alpha[i]);
  return a;
}
Mask mask_of(const Canvas& canvas, const Path& path) { return rasterize(path, canvas.width(), canvas.height()); }
Shader flat(Color c) {
  return [c](float, float) { return c; };
}

Path bolt_local() { return Path(bolt_at({0.5f, 0}, kBoltHeight)); }

// Front: the bolt stands proud of the field, its walls showing as it turns,
// its top edges catching the light at the upper left.
void draw_front_bolt(Canvas& canvas, const FaceMap& face, float angle) {
  Path bolt = bolt_local();
  canvas.fill(face.map(bolt.translated({1.6f, 1.8f})), palette::black, 0.5f);
  float dx = face.lift(kEmboss);
  // The walls that show face right when the top slides left, and left
  // (towards the light) when it slides right.
  Vec3 wall = turn::normalized({dx < 0 ? 1.0f : -1.0f, 0.2f, -0.3f});
  Color wall_colour = turn::ramp(palette::bolt_ember * 0.5f, palette::bolt_ember, palette::bolt_amber,
                                 0.2f + 0.7f * turn::turning_light().diffuse(wall));
  int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(dx) / 0.5f)));
  Path base = face.map(bolt);
  for (int k = 0; k < steps; ++k)
    canvas.fill(base.translated({dx * static_cast<float>(k) / static_cast<float>(steps), 0}), wall_colour);
  Vec2 centre = face.centre;
  Path top = base.translated({dx, 0});
  canvas.fill(top, [&](float x, float y) {
    float t = 0.62f + 0.3f * turn::turning_light().diffuse(face.normal) -
              0.2f * ((x - centre.x) * 0.6f + (y - centre.y) * 0.8f) / kBoltHeight;
    Color c = turn::ramp(palette::bolt_ember, palette::bolt_amber, palette::bolt_yellow, t);
    return mix(c, mix(palette::bolt_yellow, palette::white, 0.7f), 0.55f * sheen({x, y}, centre, angle));
  });
  Mask top_mask = mask_of(canvas, top);
  canvas.fill(minus(top_mask, mask_of(canvas, top.translated({0.9f, 1.0f}))),
              flat(mix(palette::bolt_yellow, palette::white, 0.6f)), 0.6f);
  canvas.fill(minus(top_mask, mask_of(canvas, top.translated({-0.9f, -1.0f}))), flat(palette::bolt_ember), 0.45f);
}

// Back: the same bolt seen from behind, pressed into the metal. The recess
// floor shows where the outline and its shifted copy overlap, the rest of
// the outline is wall; the light from the upper left leaves the floor's
// upper-left margin in shadow and catches its lower-right lip.
void draw_back_bolt(Canvas& canvas, const FaceMap& face, float angle) {
  Path outline = face.map(bolt_local());
  Mask opening = mask_of(canvas, outline);
  Mask floor = both(opening, mask_of(canvas, outline.translated({face.lift(-kDeboss), 0})));
  canvas.fill(opening, flat(palette::bolt_ember * 0.4f));
  Vec2 centre = face.centre;
  canvas.fill(floor, [&](float x, float y) {
    float t = 0.3f + 0.4f * turn::turning_light().diffuse(face.normal) -
              0.2f * ((x - centre.x) * 0.6f + (y - centre.y) * 0.8f) / kBoltHeight;
    Color c = turn::ramp(palette::bolt_ember * 0.4f, palette::bolt_ember, palette::bolt_amber, t);
    return mix(c, palette::bolt_amber, 0.25f * sheen({x, y}, centre, angle));
  });
  canvas.fill(minus(floor, mask_of(canvas, outline.translated({1.3f, 1.5f}))), flat(palette::black), 0.5f);
  canvas.fill(minus(opening, mask_of(canvas, outline.translated({-0.8f, -0.9f}))), flat(palette::silver), 0.35f);
}

}  // namespace

Image565 draw_emblem(int index, int count, int width, int height) {
  Canvas canvas(width, height, palette::black);
  float angle = 2 * kPi * static_cast<float>(index) / static_cast<float>(std::max(count, 1));
  Vec2 centre{static_cast<float>(width) / 2, static_cast<float>(height) / 2};
  draw_edge(canvas, centre, angle);
  FaceMap face = visible_face(centre, angle);
  // Edge-on the face is a line under a pixel wide: the edge band is all there is.
  if (std::fabs(face.squeeze) * kRadius > 0.25f) {
    draw_face_metal(canvas, face, angle);
    if (face.front)
      draw_front_bolt(canvas, face, angle);
    else
      draw_back_bolt(canvas, face, angle);
  }
  turn::dither(canvas);
  return canvas.to_image();
}

}  // namespace art
