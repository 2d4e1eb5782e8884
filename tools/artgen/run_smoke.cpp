// Rising smoke, a seamless loop: soft wisps of vapour leave a small source
// near the bottom, sway and curl as they rise, widen and fade out.
//
// The plume is a density field over the screen. Everything that moves is a
// function of a material coordinate v = rise(height) / kTravel - phase, built
// only from terms with a whole number of periods per unit of v, so advancing
// the phase by one loop gives back the first frame exactly.
#include <algorithm>
#include <array>
#include <vector>

#include "fx_common.h"
#include "palette.h"
#include "runs.h"

namespace art {
namespace {

constexpr float kSourceY = 146;  // where the vapour leaves the source
constexpr float kTravel = 120;   // rise units covered per loop
constexpr float kTop = 138;      // height above the source where it has faded
constexpr int kStrands = 7;

// Smoke slows as it rises: rise() grows faster than height, so a fixed step
// of v covers less height higher up.
float rise(float h) { return h + h * h / 320; }

// Noise along the plume that repeats every unit of v.
float along(float v, int cells, uint32_t seed) {
  return fx::noise(0.37f * static_cast<float>(seed), v * static_cast<float>(cells), cells, seed);
}

struct Row {
  float haze_x, haze_w, haze_a;
  std::array<float, kStrands> x, w, a;
};

// The plume's cross-section at height h above the source.
Row cross_section(float h, float phase, float centre_x) {
  float hp = std::max(h, 0.0f);
  float v = rise(hp) / kTravel - phase;
  float spread = clamp01(hp / kTop);
  float grow = math::pow(spread, 1.25f);

  float sway = (0.6f + 11 * grow) * (0.65f * math::sin(2 * kPi * v + 0.4f) + 0.35f * math::sin(2 * kPi * 3 * v + 2.0f)) +
               (along(v, 4, 7) - 0.5f) * 14 * grow;
  float fade = smoothstep(-2.5f, 4, h) * (1 - smoothstep(0.5f, 1.0f, spread));
  Row r{};
  r.haze_x = centre_x + sway;
  r.haze_w = 2 + 13 * grow;
  r.haze_a = 0.22f * fade / std::sqrt(r.haze_w / 2);
  for (int j = 0; j < kStrands; ++j) {
    auto seed = static_cast<uint32_t>(101 + 17 * j);
    float fan = (along(v, 5, seed) - 0.5f) * 2;
    r.x[static_cast<size_t>(j)] = centre_x + sway + fan * 24 * grow;
    r.w[static_cast<size_t>(j)] = 0.75f + 3.2f * grow;
    // Near the source the stream is whole; higher up strands thin and break.
    float pulse = smoothstep(0.1f, 0.8f, along(v, 6, seed + 5));
    float strength = 1 + (pulse - 1) * smoothstep(0.0f, 0.3f, spread);
    r.a[static_cast<size_t>(j)] = fade * strength / std::sqrt(r.w[static_cast<size_t>(j)]);
  }
  return r;
}

// The source: a small bright spot where the vapour is born, with a soft
// halo so the plume grows out of something rather than out of nothing.
void draw_source(Canvas& canvas, float cx) {
  Vec2 c{cx, kSourceY + 1.5f};
  canvas.glow(c, 8, palette::smoke, 0.05f);
  canvas.glow(c, 3.2f, palette::smoke, 0.22f);
  canvas.fill(ellipse(c, 2.6f, 1.3f), palette::smoke, 0.6f);
}

// Distance across a strand, measured square to it where it slants.
float across(float dx, float slope) { return dx / std::sqrt(1 + slope * slope); }

}  // namespace

Image565 draw_smoke(int index, int count, int width, int height) {
  Canvas canvas(width, height, palette::charcoal);
  float phase = count > 0 ? static_cast<float>(index) / static_cast<float>(count) : 0;
  float cx = static_cast<float>(width) / 2;

  // Sample the field once per pixel; the shading reads neighbours from it.
  std::vector<float> field(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    float h = kSourceY - (static_cast<float>(y) + 0.5f);
    if (h < -3 || h > kTop) continue;  // below the source, or faded out
    Row r = cross_section(h, phase, cx), above = cross_section(h + 0.5f, phase, cx),
        below = cross_section(h - 0.5f, phase, cx);
    for (int x = 0; x < width; ++x) {
      float px = static_cast<float>(x) + 0.5f;
      float d = (px - r.haze_x) / r.haze_w;
      float total = r.haze_a * math::exp(-d * d);
      for (size_t j = 0; j < kStrands; ++j) {
        float t = across(px - r.x[j], above.x[j] - below.x[j]) / r.w[j];
        if (std::fabs(t) < 4) total += r.a[j] * math::exp(-t * t);  // beyond, under 1e-7
      }
      field[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = total;
    }
  }
  auto at = [&](int x, int y) {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return field[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  };

  const Color lit = mix(palette::smoke, palette::white, 0.35f);
  const Color shade = mix(palette::smoke, palette::steel, 0.4f);
  canvas.blend_field(
      [&](float x, float y) { return 0.8f * (1 - math::exp(-1.3f * at(static_cast<int>(x), static_cast<int>(y)))); },
      [&](float x, float y) {
        int ix = static_cast<int>(x), iy = static_cast<int>(y);
        // Facing the light (upper left) where density falls off that way.
        float d = at(ix, iy);
        float facing = (d - 0.5f * (at(ix - 1, iy - 1) + at(ix - 2, iy - 2))) / (d + 0.25f);
        return mix(shade, lit, clamp01(0.6f + 0.8f * facing));
      });
  draw_source(canvas, cx);
  return canvas.to_image();
}

}  // namespace art
