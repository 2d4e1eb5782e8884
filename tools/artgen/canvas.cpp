#include "canvas.h"

#include <algorithm>

#include "capitals.h"

namespace art {
namespace {

constexpr int kSubScanlines = 16;

// Enough segments that the chord strays from the true curve by under 1/16 px.
int segments_for(float radius, float sweep) {
  float r = std::max(radius, 0.5f);
  float step = 2 * math::acos(std::max(0.0f, 1 - (1.0f / 16) / r));
  int n = static_cast<int>(std::ceil(std::fabs(sweep) / std::max(step, 1e-3f)));
  return std::clamp(n, 8, 720);
}

struct Edge {
  float x0, y0, x1, y1;
  int winding;  // +1 going down, -1 going up
};

struct Crossing {
  float x;
  int winding;
};

// Adds [xa, xb) of one sub-scanline to the row's coverage.
void add_span(std::vector<float>& row, int width, float xa, float xb) {
  xa = std::max(xa, 0.0f);
  xb = std::min(xb, static_cast<float>(width));
  if (xb <= xa) return;
  const float w = 1.0f / kSubScanlines;
  int ia = static_cast<int>(xa), ib = static_cast<int>(xb);
  if (ia == ib) {
    row[static_cast<size_t>(ia)] += (xb - xa) * w;
    return;
  }
  row[static_cast<size_t>(ia)] += (static_cast<float>(ia + 1) - xa) * w;
  for (int i = ia + 1; i < ib; ++i) row[static_cast<size_t>(i)] += w;
  if (ib < width) row[static_cast<size_t>(ib)] += (xb - static_cast<float>(ib)) * w;
}

}  // namespace

uint16_t to565(Color c) {
  auto q = [](float v, unsigned max) {
    return static_cast<unsigned>(std::lround(clamp01(v) * static_cast<float>(max)));
  };
  return pack565(q(c.r, 31), q(c.g, 63), q(c.b, 31));
}

Path Path::transformed(const std::function<Vec2(Vec2)>& f) const {
  Path out;
  for (const Contour& c : contours) {
    Contour m;
    m.reserve(c.size());
    for (Vec2 p : c) m.push_back(f(p));
    out.contours.push_back(std::move(m));
  }
  return out;
}

Path Path::translated(Vec2 d) const {
  return transformed([d](Vec2 p) { return p + d; });
}

Path Path::scaled(Vec2 about, float s) const {
  return transformed([about, s](Vec2 p) { return about + (p - about) * s; });
}

Path Path::rotated(Vec2 about, float angle) const {
  return transformed([about, angle](Vec2 p) { return about + rotate(p - about, angle); });
}

Contour ellipse(Vec2 c, float rx, float ry, float rotation) {
  int n = segments_for(std::max(rx, ry), 2 * kPi);
  Contour out;
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(n);
    out.push_back(c + rotate({rx * math::cos(a), ry * math::sin(a)}, rotation));
  }
  return out;
}

Contour circle(Vec2 c, float r) { return ellipse(c, r, r); }

Contour rect(float x0, float y0, float x1, float y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

Contour rounded_rect(float x0, float y0, float x1, float y1, float radius) {
  radius = std::min({radius, (x1 - x0) / 2, (y1 - y0) / 2});
  if (radius <= 0) return rect(x0, y0, x1, y1);
  int n = segments_for(radius, kPi / 2);
  Contour out;
  const Vec2 centres[4] = {{x1 - radius, y0 + radius}, {x1 - radius, y1 - radius},
                           {x0 + radius, y1 - radius}, {x0 + radius, y0 + radius}};
  for (int corner = 0; corner < 4; ++corner) {
    float start = -kPi / 2 + static_cast<float>(corner) * kPi / 2;
    for (int i = 0; i <= n; ++i) {
      float a = start + (kPi / 2) * static_cast<float>(i) / static_cast<float>(n);
      out.push_back(centres[corner] + Vec2{radius * math::cos(a), radius * math::sin(a)});
    }
  }
  return out;
}

Contour capsule(Vec2 a, Vec2 b, float width) {
  float r = width / 2;
  Vec2 d = b - a;
  float angle = math::atan2(d.y, d.x);
  int n = segments_for(r, kPi);
  Contour out;
  for (int i = 0; i <= n; ++i) {  // cap around b
    float t = angle - kPi / 2 + kPi * static_cast<float>(i) / static_cast<float>(n);
    out.push_back(b + Vec2{r * math::cos(t), r * math::sin(t)});
  }
  for (int i = 0; i <= n; ++i) {  // cap around a
    float t = angle + kPi / 2 + kPi * static_cast<float>(i) / static_cast<float>(n);
    out.push_back(a + Vec2{r * math::cos(t), r * math::sin(t)});
  }
  return out;
}

Contour reversed(Contour c) {
  std::reverse(c.begin(), c.end());
  return c;
}

Contour clockwise(Contour c) {
  float area = 0;
  for (size_t k = 0; k < c.size(); ++k) {
    Vec2 a = c[k], b = c[(k + 1) % c.size()];
    area += a.x * b.y - b.x * a.y;
  }
  return area < 0 ? reversed(std::move(c)) : c;
}

Path ring(Vec2 c, float r_outer, float r_inner) {
  Path p(circle(c, r_outer));
  p.add(reversed(circle(c, r_inner)));
  return p;
}

Contour arc(Vec2 c, float r, float a0, float a1, float width) {
  float h = width / 2;
  int n = segments_for(r + h, a1 - a0);
  int nc = segments_for(h, kPi);
  Contour out;
  for (int i = 0; i <= n; ++i) {  // outer edge, a0 to a1
    float a = a0 + (a1 - a0) * static_cast<float>(i) / static_cast<float>(n);
    out.push_back(c + Vec2{(r + h) * math::cos(a), (r + h) * math::sin(a)});
  }
  Vec2 end = c + Vec2{r * math::cos(a1), r * math::sin(a1)};
  float dir = a1 >= a0 ? 1.0f : -1.0f;
  for (int i = 1; i < nc; ++i) {  // cap at a1
    float t = a1 + dir * kPi * static_cast<float>(i) / static_cast<float>(nc);
    out.push_back(end + Vec2{h * math::cos(t), h * math::sin(t)});
  }
  for (int i = 0; i <= n; ++i) {  // inner edge, a1 back to a0
    float a = a1 + (a0 - a1) * static_cast<float>(i) / static_cast<float>(n);
    out.push_back(c + Vec2{(r - h) * math::cos(a), (r - h) * math::sin(a)});
  }
  Vec2 start = c + Vec2{r * math::cos(a0), r * math::sin(a0)};
  for (int i = 1; i < nc; ++i) {  // cap at a0
    float t = a0 + kPi + dir * kPi * static_cast<float>(i) / static_cast<float>(nc);
    out.push_back(start + Vec2{h * math::cos(t), h * math::sin(t)});
  }
  return out;
}

Path polyline(const std::vector<Vec2>& points, float width) {
  Path p;
  for (size_t i = 0; i + 1 < points.size(); ++i) p.add(clockwise(capsule(points[i], points[i + 1], width)));
  return p;
}

Mask rasterize(const Path& path, int width, int height, FillRule rule) {
  Mask mask;
  mask.width = width;
  mask.height = height;
  mask.alpha.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0.0f);

  std::vector<Edge> edges;
  float ymin = static_cast<float>(height), ymax = 0;
  for (const Contour& c : path.contours) {
    for (size_t i = 0; i < c.size(); ++i) {
      Vec2 a = c[i], b = c[(i + 1) % c.size()];
      if (a.y == b.y) continue;  // horizontal edges cross no scanline
      if (a.y < b.y)
        edges.push_back({a.x, a.y, b.x, b.y, 1});
      else
        edges.push_back({b.x, b.y, a.x, a.y, -1});
      ymin = std::min({ymin, a.y, b.y});
      ymax = std::max({ymax, a.y, b.y});
    }
  }
  if (edges.empty()) return mask;

  int row_first = std::max(0, static_cast<int>(std::floor(ymin)));
  int row_last = std::min(height - 1, static_cast<int>(std::ceil(ymax)));
  std::vector<float> row(static_cast<size_t>(width) + 1);
  std::vector<Crossing> crossings;
  for (int y = row_first; y <= row_last; ++y) {
    std::fill(row.begin(), row.end(), 0.0f);
    for (int s = 0; s < kSubScanlines; ++s) {
      float ys = static_cast<float>(y) + (static_cast<float>(s) + 0.5f) / kSubScanlines;
      crossings.clear();
      for (const Edge& e : edges) {
        if (ys < e.y0 || ys >= e.y1) continue;
        float x = e.x0 + (ys - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
        crossings.push_back({x, e.winding});
      }
      std::sort(crossings.begin(), crossings.end(),
                [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
      int winding = 0;
      for (size_t i = 0; i + 1 < crossings.size(); ++i) {
        winding += crossings[i].winding;
        bool inside = rule == FillRule::NonZero ? winding != 0 : (winding & 1) != 0;
        if (inside) add_span(row, width, crossings[i].x, crossings[i + 1].x);
      }
    }
    float* out = &mask.alpha[static_cast<size_t>(y) * static_cast<size_t>(width)];
    for (int x = 0; x < width; ++x) out[x] = std::min(1.0f, row[static_cast<size_t>(x)]);
  }
  return mask;
}

Canvas::Canvas(int width, int height, Color background)
    : width_(width), height_(height), px_(static_cast<size_t>(width) * static_cast<size_t>(height), background) {}

void Canvas::fill(const Path& path, Color color, float opacity, FillRule rule) {
  fill(rasterize(path, width_, height_, rule), [color](float, float) { return color; }, opacity);
}

void Canvas::fill(const Path& path, const Shader& shader, float opacity, FillRule rule) {
  fill(rasterize(path, width_, height_, rule), shader, opacity);
}

void Canvas::fill(const Mask& mask, const Shader& shader, float opacity) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      float a = mask.at(x, y) * opacity;
      if (a <= 0) continue;
      Color& c = at(x, y);
      c = mix(c, shader(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f), a);
    }
}

void Canvas::blend_field(const std::function<float(float, float)>& alpha, Color color) {
  blend_field(alpha, [color](float, float) { return color; });
}

void Canvas::blend_field(const std::function<float(float, float)>& alpha, const Shader& shader) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      float cx = static_cast<float>(x) + 0.5f, cy = static_cast<float>(y) + 0.5f;
      float a = clamp01(alpha(cx, cy));
      if (a <= 0) continue;
      Color& c = at(x, y);
      c = mix(c, shader(cx, cy), a);
    }
}

void Canvas::glow(Vec2 centre, float radius, Color color, float intensity) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      Vec2 d = Vec2{static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f} - centre;
      float k = intensity * math::exp(-dot(d, d) / (radius * radius));
      if (k < 1e-4f) continue;
      Color& c = at(x, y);
      c = c + color * k;
    }
}

namespace {

// The letter's rows, null for a space; throws MissingGlyph for anything else.
const char* const* glyph(const std::string& text, char c) {
  if (c == ' ') return nullptr;
  if (const char* const* rows = capital_rows(c)) return rows;
  throw MissingGlyph(text, c);
}

}  // namespace

int Canvas::text_width(const std::string& s, int scale) {
  int w = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i) w += scale;  // blank column between letters
    w += (glyph(s, s[i]) ? kCapitalWidth : 3) * scale;
  }
  return w;
}

void Canvas::text(const std::string& s, int x, int y, int scale, Color color) {
  for (char ch : s) {
    const char* const* rows = glyph(s, ch);
    if (rows) {
      for (int r = 0; r < kCapitalHeight; ++r)
        for (int col = 0; col < kCapitalWidth; ++col) {
          if (rows[r][col] != '#') continue;
          for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx) {
              int px = x + col * scale + dx, py = y + r * scale + dy;
              if (px >= 0 && py >= 0 && px < width_ && py < height_) at(px, py) = color;
            }
        }
    }
    x += ((rows ? kCapitalWidth : 3) + 1) * scale;
  }
}

void Canvas::text_centred(const std::string& s, int centre_x, int y, int scale, Color color) {
  text(s, centre_x - text_width(s, scale) / 2, y, scale, color);
}

Image565 Canvas::to_image() const {
  Image565 image(width_, height_);
  for (size_t i = 0; i < px_.size(); ++i) image.pixels[i] = to565(px_[i]);
  return image;
}

}  // namespace art
