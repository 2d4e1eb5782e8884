// The missing-cartridge screen: a cartridge glides down into the device's
// empty slot and back out, while a red warning sign below the slot blinks.
#include <vector>

#include "palette.h"
#include "runs.h"
#include "screen_common.h"

namespace art {
namespace {

using screen::Material;

// The device: a dark block with the slot across its upper face.
constexpr float kBlockX0 = screen::kIconX - 26, kBlockX1 = screen::kIconX + 26;
constexpr float kBlockY0 = screen::kIconY + 5, kBlockY1 = screen::kIconY + 33;
constexpr float kSlotY = kBlockY0 + 7;  // the slot's centre line
constexpr float kSlotHalf = 16;         // half the slot's length
constexpr float kSlotWidth = 5;

// The cartridge: 22 wide, its bottom travelling between these heights.
constexpr float kPodHalf = 11;
constexpr float kPodHeight = 34;
constexpr float kPodUp = kSlotY - 10;   // bottom, furthest out
constexpr float kPodDown = kSlotY + 8;  // bottom, furthest in

const Material kShell{mix(palette::graphite, palette::steel, 0.45f), mix(palette::steel, palette::silver, 0.6f),
                      mix(palette::silver, palette::white, 0.6f), 0.8f};
const Material kDark{mix(palette::graphite, palette::black, 0.4f), mix(palette::graphite, palette::steel, 0.3f),
                     mix(palette::steel, palette::silver, 0.4f), 0.5f};
const Color kLiquid = palette::bolt_amber;

// The cartridge's bottom edge at loop phase t: in and out once, easing at
// both ends of the travel.
float pod_bottom(float t) { return kPodUp + (kPodDown - kPodUp) * (0.5f - 0.5f * math::cos(2 * kPi * t)); }

// The warning's brightness: two blinks a loop, each switching on and off
// over about a frame so it reads as a lamp, not a pulse.
float blink(float t) { return smoothstep(-0.25f, 0.25f, math::cos(4 * kPi * t)); }

void fill_clipped(Canvas& canvas, const Path& path, const Shader& shader, const Mask& clip, float opacity = 1) {
  canvas.fill(screen::intersect(rasterize(path, canvas.width(), canvas.height()), clip), shader, opacity);
}

Shader flat(Color c) {
  return [c](float, float) { return c; };
}

void draw_block(Canvas& canvas) {
  Path block(rounded_rect(kBlockX0, kBlockY0, kBlockX1, kBlockY1, 7));
  screen::soft_shadow(canvas, block, {2.0f, 3.0f}, 2, 0.55f);
  canvas.fill(
      block, screen::slab([](Vec2 q) { return screen::rounded_rect_sdf(q, kBlockX0, kBlockY0, kBlockX1, kBlockY1, 7); },
                          3, kDark, {screen::kIconX, (kBlockY0 + kBlockY1) / 2}, 26, 0.4f));
}

// The slot's mouth: dark inside, its lower lip catching the light.
void draw_slot_back(Canvas& canvas) {
  const Vec2 a{screen::kIconX - kSlotHalf, kSlotY}, b{screen::kIconX + kSlotHalf, kSlotY};
  canvas.fill(Path(capsule(a, b, kSlotWidth + 1.2f)), mix(palette::steel, palette::silver, 0.3f));
  canvas.fill(Path(capsule(a + Vec2{0, -0.6f}, b + Vec2{0, -0.6f}, kSlotWidth)),
              mix(palette::black, palette::graphite, 0.2f));
}

void draw_pod(Canvas& canvas, float bottom) {
  const int w = canvas.width(), h = canvas.height();
  const float x0 = screen::kIconX - kPodHalf, x1 = screen::kIconX + kPodHalf, top = bottom - kPodHeight;
  // Everything below the slot's centre line is inside the device.
  Mask clip = rasterize(Path(rect(0, 0, static_cast<float>(w), kSlotY)), w, h);

  // A rounded shell under a tapered mouthpiece.
  Path shell(rounded_rect(x0, top + 6, x1, bottom, 9));
  const float tip_bottom = top + 9, tip_top_half = 3.5f, tip_bottom_half = 6.5f;
  std::vector<Vec2> tip_corners{{screen::kIconX - tip_top_half, top + 1},
                                {screen::kIconX + tip_top_half, top + 1},
                                {screen::kIconX + tip_bottom_half, tip_bottom},
                                {screen::kIconX - tip_bottom_half, tip_bottom}};
  Path tip(clockwise(Contour(tip_corners)));
  tip_corners.push_back(tip_corners.front());
  tip.add(polyline(tip_corners, 2.0f));
  Path outline = shell;
  outline.add(tip);
  canvas.fill(screen::intersect(rasterize(outline.translated({2.0f, 3.0f}), w, h), clip), flat(palette::black), 0.35f);

  const Vec2 mid{screen::kIconX, (top + bottom) / 2};
  // The mouthpiece shades as an upright round bar.
  fill_clipped(canvas, tip,
               screen::tube(
                   [](Vec2 q) {
                     return Vec2{screen::kIconX, q.y};
                   },
                   tip_bottom_half + 1, kDark),
               clip);
  fill_clipped(canvas, shell,
               screen::slab([=](Vec2 q) { return screen::rounded_rect_sdf(q, x0, top + 6, x1, bottom, 9); }, 4.0f,
                            kShell, mid, 18),
               clip);

  // The window onto the liquid: dark glass, amber below the surface line,
  // a bright meniscus and a streak of reflection on the left.
  const float wx0 = x0 + 5, wx1 = x1 - 5, wy0 = top + 12, wy1 = bottom - 6, level = wy0 + 0.35f * (wy1 - wy0);
  Path window(rounded_rect(wx0, wy0, wx1, wy1, 2.5f));
  fill_clipped(canvas, window, flat(mix(palette::black, palette::graphite, 0.5f)), clip);
  Mask liquid = screen::intersect(rasterize(window, w, h), rasterize(Path(rect(wx0, level, wx1, wy1)), w, h));
  canvas.fill(screen::intersect(liquid, clip), [=](float, float y) {
    return mix(mix(kLiquid, palette::bolt_yellow, 0.35f), palette::bolt_ember, clamp01((y - level) / (wy1 - level)));
  });
  fill_clipped(canvas, Path(capsule({wx0 + 1.2f, level + 0.5f}, {wx1 - 1.2f, level + 0.5f}, 1.0f)),
               flat(mix(palette::bolt_yellow, palette::white, 0.5f)), clip);
  fill_clipped(canvas, Path(capsule({wx0 + 2, wy0 + 2}, {wx0 + 2, wy1 - 2.5f}, 1.3f)), flat(palette::white), clip,
               0.45f);
}

// The slot's lower lip passes in front of the cartridge.
void draw_slot_lip(Canvas& canvas) {
  const Vec2 a{screen::kIconX - kSlotHalf + 1, kSlotY + kSlotWidth / 2 - 0.2f},
      b{screen::kIconX + kSlotHalf - 1, kSlotY + kSlotWidth / 2 - 0.2f};
  canvas.fill(Path(capsule(a, b, 1.1f)), mix(palette::steel, palette::silver, 0.4f));
}

// A warning triangle with an exclamation mark, lit when `on` is 1.
void draw_warning(Canvas& canvas, float on) {
  const Vec2 c{screen::kIconX, kBlockY0 + 19};
  const float half = 6.5f, rise = 11.0f;
  std::vector<Vec2> corners{{c.x, c.y - rise / 2}, {c.x + half, c.y + rise / 2}, {c.x - half, c.y + rise / 2}};
  Path tri(clockwise(Contour(corners)));
  corners.push_back(corners.front());
  tri.add(polyline(corners, 2.0f));  // rounds the corners
  Color lit = mix(palette::red, palette::white, 0.12f), dim = mix(palette::red, palette::graphite, 0.72f);
  Color ink = mix(dim, lit, on);
  if (on > 0) canvas.glow(c, 10, palette::red, 0.35f * on);
  canvas.fill(tri, ink);
  Color mark = mix(palette::graphite, palette::black, 0.5f);
  canvas.fill(Path(capsule({c.x, c.y - 2.2f}, {c.x, c.y + 1.6f}, 1.8f)), mark);
  canvas.fill(Path(circle({c.x, c.y + 4.1f}, 1.1f)), mark);
}

}  // namespace

Image565 draw_no_cartridge(int index, int count, int width, int height) {
  const float t = screen::loop_phase(index, count);
  Canvas canvas = screen::background(width, height);
  draw_block(canvas);
  draw_slot_back(canvas);
  draw_pod(canvas, pod_bottom(t));
  draw_slot_lip(canvas);
  draw_warning(canvas, blink(t));
  screen::caption(canvas, {"INSERT", "CARTRIDGE"}, palette::white);
  return canvas.to_image();
}

}  // namespace art
