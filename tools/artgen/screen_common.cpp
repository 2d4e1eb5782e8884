#include "screen_common.h"

#include <algorithm>

#include "palette.h"
#include "turn_3d.h"

namespace art::screen {
namespace {

// One pass of a box blur of radius r along rows (dx = 1) or columns.
void box_blur(std::vector<float>& a, int width, int height, int r, bool rows) {
  std::vector<float> out(a.size());
  int n = rows ? width : height, lines = rows ? height : width;
  for (int l = 0; l < lines; ++l) {
    auto idx = [&](int i) {
      int x = rows ? i : l, y = rows ? l : i;
      return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    };
    for (int i = 0; i < n; ++i) {
      float sum = 0;
      for (int k = -r; k <= r; ++k) {
        int j = std::clamp(i + k, 0, n - 1);
        sum += a[idx(j)];
      }
      out[idx(i)] = sum / static_cast<float>(2 * r + 1);
    }
  }
  a.swap(out);
}

}  // namespace

Canvas background(int width, int height) {
  // Flat: the screen colour is so dark that any vignette falls into visible
  // RGB565 bands, so depth comes from the icons' own shadows instead.
  return Canvas(width, height, palette::charcoal);
}

void caption(Canvas& canvas, const std::vector<std::string>& lines, Color ink) {
  const int margin = 4, max_width = canvas.width() - 2 * margin;
  int y = kCaptionTop;
  for (const std::string& line : lines) {
    int scale = Canvas::text_width(line, 2) <= max_width ? 2 : 1;
    canvas.text_centred(line, canvas.width() / 2, y, scale, ink);
    y += 7 * scale + kCaptionLineGap;
  }
}

void soft_shadow(Canvas& canvas, const Path& shape, Vec2 offset, int blur, float opacity) {
  Mask mask = rasterize(shape.translated(offset), canvas.width(), canvas.height());
  for (int pass = 0; pass < 2; ++pass) {
    box_blur(mask.alpha, mask.width, mask.height, blur, true);
    box_blur(mask.alpha, mask.width, mask.height, blur, false);
  }
  canvas.fill(
      mask, [](float, float) { return palette::black; }, opacity);
}

Material steel() {
  return {mix(palette::graphite, palette::steel, 0.35f), mix(palette::steel, palette::silver, 0.55f),
          mix(palette::silver, palette::white, 0.6f), 0.9f};
}

Material brass() {
  return {palette::bolt_ember, mix(palette::bolt_amber, palette::bolt_yellow, 0.45f),
          mix(palette::bolt_yellow, palette::white, 0.35f), 0.55f};
}

Color shade(const Material& m, Vec2 n) {
  float len2 = std::min(1.0f, dot(n, n));
  const turn::Light& light = turn::screen_light();
  const turn::Vec3 normal{n.x, n.y, -std::sqrt(1 - len2)};  // z away from the viewer
  float diffuse = light.lambert(normal);
  float highlight = light.specular(normal, 24.0f) * m.shine;
  // Flat faces get the base colour; facing the light lifts towards `light`,
  // facing away falls towards `dark`.
  const float flat = light.lambert(turn::view_direction());
  Color c = diffuse >= flat ? mix(m.base, m.light, (diffuse - flat) / (1 - flat))
                            : mix(m.dark, m.base, clamp01((diffuse + 0.4f) / (flat + 0.4f)));
  return mix(c, palette::white, clamp01(highlight));
}

Shader slab(std::function<float(Vec2)> sdf, float bevel, Material m, Vec2 centre, float extent, float tilt) {
  return [sdf = std::move(sdf), bevel, m, centre, extent, tilt](float x, float y) {
    Vec2 p{x, y};
    float d = -sdf(p);  // depth inside the edge
    Vec2 n{};
    if (d < bevel) {
      const float h = 0.25f;
      Vec2 g{sdf({x + h, y}) - sdf({x - h, y}), sdf({x, y + h}) - sdf({x, y - h})};
      float gl = length(g);
      if (gl > 1e-6f) n = g * ((1 - std::max(d, 0.0f) / bevel) / gl);
    }
    Material face = m;
    float along = dot(p - centre, Vec2{0.6f, 0.8f}) / extent;  // -1 upper left .. 1 lower right
    face.base = along < 0 ? mix(m.base, m.light, clamp01(-along) * tilt) : mix(m.base, m.dark, clamp01(along) * tilt);
    return shade(face, n);
  };
}

Shader tube(std::function<Vec2(Vec2)> nearest, float radius, Material m) {
  return [nearest = std::move(nearest), radius, m](float x, float y) {
    Vec2 p{x, y};
    return shade(m, (p - nearest(p)) * (1 / radius));
  };
}

float rounded_rect_sdf(Vec2 p, float x0, float y0, float x1, float y1, float radius) {
  Vec2 c{(x0 + x1) / 2, (y0 + y1) / 2};
  float qx = std::fabs(p.x - c.x) - ((x1 - x0) / 2 - radius);
  float qy = std::fabs(p.y - c.y) - ((y1 - y0) / 2 - radius);
  float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

Vec2 nearest_on_segment(Vec2 p, Vec2 a, Vec2 b) {
  Vec2 ab = b - a;
  float l2 = dot(ab, ab);
  float t = l2 > 0 ? clamp01(dot(p - a, ab) / l2) : 0;
  return a + ab * t;
}

float ease_in_out(float t) {
  t = clamp01(t);
  return t < 0.5f ? 4 * t * t * t : 1 - 4 * (1 - t) * (1 - t) * (1 - t);
}

float ease_out(float t) {
  t = clamp01(t);
  return 1 - (1 - t) * (1 - t);
}

Mask intersect(const Mask& a, const Mask& b) {
  Mask out = a;
  for (size_t i = 0; i < out.alpha.size(); ++i) out.alpha[i] = std::min(a.alpha[i], b.alpha[i]);
  return out;
}

Path sparkle(Vec2 centre, float size) {
  // Four thin points with a waist a fifth of the size.
  Contour c;
  const int points = 4;
  for (int i = 0; i < points * 2; ++i) {
    float a = kPi * static_cast<float>(i) / points - kPi / 2;
    float r = i % 2 == 0 ? size : size * 0.2f;
    c.push_back(centre + Vec2{r * math::cos(a), r * math::sin(a)});
  }
  return Path(c);
}

}  // namespace art::screen
