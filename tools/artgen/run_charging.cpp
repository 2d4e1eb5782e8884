// The charging screen: a tall battery whose green charge rises from low to
// full over the run, with the product's bolt in a round badge at its lower
// right and a caption underneath, laid out like the other status screens.
#include "fx_common.h"
#include "palette.h"
#include "runs.h"
#include "screen_common.h"
#include "shapes.h"

namespace art {
namespace {

// The battery's layout, centred on the status screens' icon position.
struct Battery {
  float x0, y0, x1, y1;      // body, outer edge of the outline
  float stroke = 2.5f;       // outline width
  float radius = 6.5f;       // outer corner radius
  float gap = 1.5f;          // dark space between outline and charge
  Vec2 badge;                // centre of the bolt badge
  float badge_r = 10.5f;

  float inner_x0() const { return x0 + stroke; }
  float inner_x1() const { return x1 - stroke; }
  float inner_y0() const { return y0 + stroke; }
  float inner_y1() const { return y1 - stroke; }
  float cell_x0() const { return inner_x0() + gap; }
  float cell_x1() const { return inner_x1() - gap; }
  float cell_y0() const { return inner_y0() + gap; }
  float cell_y1() const { return inner_y1() - gap; }
};

Battery layout() {
  const float cx = screen::kIconX, cy = screen::kIconY;
  return Battery{cx - 18, cy - 37, cx + 18, cy + 37, 2.5f, 6.5f, 1.5f, {cx + 16, cy + 33}, 10.5f};
}

// The battery with its cap, for the shadow it casts.
Path silhouette(const Battery& b) {
  float cx = (b.x0 + b.x1) / 2;
  Path p(clockwise(rounded_rect(b.x0, b.y0, b.x1, b.y1, b.radius)));
  p.add(clockwise(rounded_rect(cx - 8, b.y0 - 6, cx + 8, b.y0 + 2, 2)));
  return p;
}

void draw_shell(Canvas& canvas, const Battery& b) {
  // Dark glass inside, so the empty part still reads as the battery's volume.
  canvas.fill(rounded_rect(b.inner_x0(), b.inner_y0(), b.inner_x1(), b.inner_y1(), b.radius - b.stroke),
              mix(palette::charcoal, palette::graphite, 0.55f));

  auto shade = [&b](float x, float y) { return fx::metal(x, y, b.x0, b.y0 - 6, b.x1, b.y1); };
  float cx = (b.x0 + b.x1) / 2;
  canvas.fill(rounded_rect(cx - 8, b.y0 - 6, cx + 8, b.y0 + 2, 2), shade);  // terminal cap
  Path outline(rounded_rect(b.x0, b.y0, b.x1, b.y1, b.radius));
  outline.add(reversed(rounded_rect(b.inner_x0(), b.inner_y0(), b.inner_x1(), b.inner_y1(), b.radius - b.stroke)));
  canvas.fill(outline, shade);
}

// The charge: a green cell clipped to the battery, its surface at `level_y`
// with a slight ripple, a lit top edge and a band of light sweeping up.
void draw_charge(Canvas& canvas, const Battery& b, float level_y, float ripple, float wave_phase, float sweep_y) {
  Mask cell = rasterize(rounded_rect(b.cell_x0(), b.cell_y0(), b.cell_x1(), b.cell_y1(), 3.5f), canvas.width(),
                        canvas.height());
  auto surface = [&](float x) {
    return level_y + ripple * math::sin(2 * kPi * (x - b.cell_x0()) / 22 + wave_phase);
  };
  // Cut the cell at the surface, with coverage for the partial pixel row.
  Mask charge = cell;
  for (int y = 0; y < charge.height; ++y)
    for (int x = 0; x < charge.width; ++x) {
      float s = surface(static_cast<float>(x) + 0.5f);
      float cover = clamp01(static_cast<float>(y + 1) - s);
      charge.alpha[static_cast<size_t>(y) * static_cast<size_t>(charge.width) + static_cast<size_t>(x)] *= cover;
    }

  float w = b.cell_x1() - b.cell_x0();
  auto shader = [&](float x, float y) {
    float u = (x - b.cell_x0()) / w;  // 0 left to 1 right
    // Rounded like a cylinder lit from the left.
    float body = 0.78f + 0.34f * math::cos((u - 0.28f) * kPi * 0.95f);
    float depth = clamp01((y - level_y) / (b.cell_y1() - b.cell_y0()));
    Color c = palette::green * (body * (1 - 0.22f * depth));
    float edge = math::exp(-math::pow((y - surface(x) - 0.6f) / 1.3f, 2.0f));
    float band = 0.16f * math::exp(-math::pow((y + 0.45f * (x - b.cell_x0()) - sweep_y) / 3.5f, 2.0f));
    return mix(c, mix(palette::green, palette::white, 0.55f), clamp01(0.75f * edge + band));
  };
  canvas.fill(charge, shader);

  // A soft light spilling above the surface into the empty glass.
  canvas.blend_field(
      [&](float x, float y) {
        float d = surface(x) - y;
        if (d < 0) return 0.0f;
        return cell.at(static_cast<int>(x), static_cast<int>(y)) * 0.35f * math::exp(-d / 2.2f);
      },
      palette::green);
}

// Reflection down the glass on the lit side.
void draw_gloss(Canvas& canvas, const Battery& b) {
  float x = b.cell_x0() + 3.5f;
  canvas.fill(capsule({x, b.cell_y0() + 5}, {x, b.cell_y1() - 9}, 2.2f), palette::white, 0.16f);
}

void draw_badge(Canvas& canvas, const Battery& b, float glow) {
  Vec2 c = b.badge;
  float r = b.badge_r;
  canvas.fill(circle(c, r + 2), palette::charcoal);  // keeps the badge clear of the outline
  screen::soft_shadow(canvas, Path(circle(c, r)), {1.5f, 2.0f}, 2, 0.5f);
  auto metal = [c, r](float x, float y) { return fx::metal(x, y, c.x - r, c.y - r, c.x + r, c.y + r); };
  canvas.fill(circle(c, r), metal);
  canvas.fill(circle(c, r - 1.4f), [c, r](float x, float y) {
    float u = clamp01(((x - c.x) + (y - c.y)) / (4 * r) + 0.5f);
    return mix(mix(palette::graphite, palette::steel, 0.25f), mix(palette::graphite, palette::black, 0.35f), u);
  });
  canvas.glow(c, 5.5f, palette::bolt_amber, glow);

  Path bolt(bolt_at(c, 15));
  canvas.fill(bolt.scaled(c, 1.07f), palette::bolt_ember);
  canvas.fill(bolt, [c](float x, float y) {
    float u = clamp01(((x - c.x) * 0.6f + (y - c.y)) / 15 + 0.5f);
    return mix(palette::bolt_yellow, palette::bolt_amber, smoothstep(0.25f, 1.0f, u));
  });
}

}  // namespace

Image565 draw_charging(int index, int count, int width, int height) {
  Canvas canvas = screen::background(width, height);
  Battery b = layout();
  float t = count > 1 ? static_cast<float>(index) / static_cast<float>(count - 1) : 1.0f;

  // From a low charge to full, settling gently at the top.
  float level = 0.12f + 0.88f * (1 - math::pow(1 - t, 1.6f));
  float span = b.cell_y1() - b.cell_y0();
  float level_y = b.cell_y1() - level * span;
  float ripple = 0.55f * (1 - smoothstep(0.8f, 1.0f, t));
  float sweep_y = b.cell_y1() + 14 - t * (span + 40);

  screen::soft_shadow(canvas, silhouette(b), {2.0f, 3.0f}, 2, 0.55f);
  draw_shell(canvas, b);
  draw_charge(canvas, b, level_y, ripple, 2 * kPi * t * 3, sweep_y);
  draw_gloss(canvas, b);
  draw_badge(canvas, b, 0.18f + 0.08f * math::sin(2 * kPi * t));
  screen::caption(canvas, {"CHARGING"}, palette::white);
  return canvas.to_image();
}

}  // namespace art
