// The lock screen: a brass padlock whose steel shackle drops shut with a
// small bounce, rattles once, then its keyhole pulses; the shackle lifts open
// again slowly so the loop joins up.
#include "palette.h"
#include "runs.h"
#include "screen_common.h"

namespace art {
namespace {

const screen::Material kSteel = screen::steel();
const screen::Material kBrass = screen::brass();

// Layout around the icon centre: a 42 x 34 body with the shackle above.
constexpr float kBodyX0 = screen::kIconX - 21, kBodyX1 = screen::kIconX + 21;
constexpr float kBodyY0 = screen::kIconY - 2, kBodyY1 = screen::kIconY + 32;
constexpr float kBodyRadius = 7;
constexpr float kShackleSpread = 11;  // centre line radius, and half the leg spacing
constexpr float kShackleWidth = 7;
constexpr float kShackleArcY = kBodyY0 - 10;  // arc centre when shut
constexpr float kLift = 9;                    // how far the shackle stands open

// What moves, at one moment of the loop.
struct Pose {
  float lift = 0;    // shackle height above shut, pixels
  float rattle = 0;  // rotation of the whole lock about the body's foot, radians
  float click = 0;   // 0..1, the flash of the click as the shackle lands
  float pulse = 0;   // 0..1, the keyhole's glow
  float glint = 0;   // 0..1, the sparkle on the body's shoulder
};

// A window [a, b) of the loop mapped to 0..1, or -1 outside it.
float window(float t, float a, float b) { return t >= a && t < b ? (t - a) / (b - a) : -1; }

Pose pose_at(float t) {
  Pose p;
  if (float u = window(t, 0.0f, 0.2f); u >= 0) p.lift = kLift * (1 - u * u);              // falls
  if (float u = window(t, 0.2f, 0.3f); u >= 0) p.lift = 1.8f * math::sin(kPi * u);         // bounces once
  if (float u = window(t, 0.72f, 1.0f); u >= 0) p.lift = kLift * screen::ease_in_out(u);  // lifts open
  if (float u = window(t, 0.2f, 0.3f); u >= 0) p.click = 1 - u;
  if (float u = window(t, 0.3f, 0.54f); u >= 0) p.rattle = 0.07f * math::sin(3 * kPi * u) * (1 - u);
  if (float u = window(t, 0.5f, 0.76f); u >= 0) p.pulse = math::pow(math::sin(kPi * u), 2.0f);
  if (float u = window(t, 0.56f, 0.72f); u >= 0) p.glint = math::sin(kPi * u);
  return p;
}

Vec2 arc_centre(float lift) { return {screen::kIconX, kShackleArcY - lift}; }

// The shackle: a half circle with a long left leg (it stays in the body when
// open) and a short right one (it comes out).
Path shackle_path(float lift) {
  Vec2 c = arc_centre(lift);
  Path p(clockwise(arc(c, kShackleSpread, kPi, 2 * kPi, kShackleWidth)));
  p.add(clockwise(capsule(c + Vec2{-kShackleSpread, 0}, c + Vec2{-kShackleSpread, 26}, kShackleWidth)));
  p.add(clockwise(capsule(c + Vec2{kShackleSpread, 0}, c + Vec2{kShackleSpread, 12}, kShackleWidth)));
  return p;
}

Vec2 shackle_nearest(Vec2 q, float lift) {
  Vec2 c = arc_centre(lift);
  if (q.y < c.y) {
    Vec2 d = q - c;
    float l = length(d);
    return l > 1e-6f ? c + d * (kShackleSpread / l) : c + Vec2{0, -kShackleSpread};
  }
  Vec2 a = screen::nearest_on_segment(q, c + Vec2{-kShackleSpread, 0}, c + Vec2{-kShackleSpread, 26});
  Vec2 b = screen::nearest_on_segment(q, c + Vec2{kShackleSpread, 0}, c + Vec2{kShackleSpread, 12});
  return length(q - a) < length(q - b) ? a : b;
}

Path keyhole_path() {
  const float x = screen::kIconX, y = kBodyY0 + 13;
  Path p(circle({x, y}, 4.2f));
  p.add(clockwise(Contour{{x - 1.7f, y + 1}, {x + 1.7f, y + 1}, {x + 2.8f, y + 12}, {x - 2.8f, y + 12}}));
  return p;
}

// The whole lock turned about the body's foot by the rattle.
Path posed(const Path& p, float rattle) { return rattle == 0 ? p : p.rotated({screen::kIconX, kBodyY1}, rattle); }

void draw_keyhole(Canvas& canvas, const Path& hole, float pulse) {
  const int w = canvas.width(), h = canvas.height();
  Mask mask = rasterize(hole, w, h);
  // The hole's lower right wall catches the light; the rest falls into shadow.
  canvas.fill(mask, [](float, float) { return mix(palette::bolt_ember, palette::black, 0.35f); });
  Mask deep = screen::intersect(mask, rasterize(hole.translated({-0.9f, -1.1f}), w, h));
  canvas.fill(deep, [](float, float) { return mix(palette::black, palette::bolt_ember, 0.12f); });
  if (pulse > 0)
    canvas.fill(
        mask, [](float, float) { return mix(palette::cyan, palette::white, 0.25f); }, pulse * 0.9f);
}

void draw_click(Canvas& canvas, float click, float rattle) {
  if (click <= 0) return;
  // Short rays bursting out and up from where each leg meets the body.
  Path rays;
  for (int side = 0; side < 2; ++side) {
    float dir = side == 0 ? -1.0f : 1.0f;
    Vec2 from{screen::kIconX + dir * kShackleSpread, kBodyY0};
    for (int k = 0; k < 3; ++k) {
      float a = 0.22f + 0.5f * static_cast<float>(k);  // up from the horizontal
      Vec2 d{dir * math::cos(a), -math::sin(a)};
      Vec2 start = from + d * (6.5f + 2.0f * (1 - click));
      rays.add(clockwise(capsule(start, start + d * (1.5f + 2.5f * click), 1.4f)));
    }
  }
  canvas.fill(posed(rays, rattle), mix(palette::silver, palette::white, 0.5f), click);
}

}  // namespace

Image565 draw_lock(int index, int count, int width, int height) {
  const float t = screen::loop_phase(index, count);
  const Pose p = pose_at(t);
  Canvas canvas = screen::background(width, height);

  const Path body = posed(Path(rounded_rect(kBodyX0, kBodyY0, kBodyX1, kBodyY1, kBodyRadius)), p.rattle);
  const Path shackle = posed(shackle_path(p.lift), p.rattle);
  Path all = shackle;
  all.add(body);
  screen::soft_shadow(canvas, all, {2.0f, 3.0f}, 2, 0.55f);

  // Shading is computed in the lock's own frame, so it turns with the lock
  // (a small rattle; the light barely changes).
  const Vec2 pivot{screen::kIconX, kBodyY1};
  auto unturn = [pivot, r = p.rattle](float x, float y) { return pivot + rotate(Vec2{x, y} - pivot, -r); };

  Shader steel = screen::tube([lift = p.lift](Vec2 q) { return shackle_nearest(q, lift); }, kShackleWidth / 2, kSteel);
  canvas.fill(shackle, [&](float x, float y) {
    Vec2 q = unturn(x, y);
    return steel(q.x, q.y);
  });

  Shader brass =
      screen::slab([](Vec2 q) { return screen::rounded_rect_sdf(q, kBodyX0, kBodyY0, kBodyX1, kBodyY1, kBodyRadius); },
                   3.5f, kBrass, {screen::kIconX, (kBodyY0 + kBodyY1) / 2}, 24);
  canvas.fill(body, [&](float x, float y) {
    Vec2 q = unturn(x, y);
    return brass(q.x, q.y);
  });

  const Path hole = posed(keyhole_path(), p.rattle);
  draw_keyhole(canvas, hole, p.pulse);
  if (p.pulse > 0) canvas.glow({screen::kIconX, kBodyY0 + 17}, 9, palette::cyan, 0.35f * p.pulse);
  draw_click(canvas, p.click, p.rattle);
  if (p.glint > 0) {
    Vec2 at{kBodyX0 + 6, kBodyY0 + 5};
    canvas.glow(at, 3, palette::white, 0.5f * p.glint);
    canvas.fill(screen::sparkle(at, 2 + 4 * p.glint), palette::white, p.glint);
  }

  screen::caption(canvas, {"LOCKED"}, palette::white);
  return canvas.to_image();
}

}  // namespace art
