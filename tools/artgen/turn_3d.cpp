#include "turn_3d.h"

#include <algorithm>

namespace art::turn {

Vec3 normalized(Vec3 v) {
  float len = std::sqrt(dot(v, v));
  return len > 0 ? v * (1 / len) : v;
}

Vec3 turn_y(Vec3 p, float angle) {
  float c = math::cos(angle), s = math::sin(angle);
  return {p.x * c + p.z * s, p.y, p.z * c - p.x * s};
}

float Light::specular(Vec3 normal, float shininess) const {
  return math::pow(std::max(0.0f, dot(normal, half)), shininess);
}

namespace {

Light light_towards(Vec3 towards) { return {towards, normalized(towards + view_direction())}; }

}  // namespace

const Light& turning_light() {
  static const Light light = light_towards(normalized({-0.55f, -0.7f, -0.9f}));
  return light;
}

const Light& logo_light() {
  static const Light light = light_towards({-0.48f, -0.62f, -0.62f});
  return light;
}

// Its half vector as it was first written down, to two places.
const Light& screen_light() {
  static const Light light{{-0.50f, -0.62f, -0.60f}, {-0.29f, -0.36f, -0.89f}};
  return light;
}

Vec2 Camera::project(Vec3 p) const {
  float s = distance / (distance + p.z);
  return {centre.x + p.x * s, centre.y + p.y * s};
}

bool Camera::unproject(Vec2 s, Vec3 on_plane, Vec3 normal, Vec3& hit) const {
  // The ray from the eye through s, where s sits on the plane z = 0.
  Vec3 eye{0, 0, -distance};
  Vec3 dir{s.x - centre.x, s.y - centre.y, distance};
  float denom = dot(normal, dir);
  if (std::fabs(denom) < 1e-6f) return false;
  float t = dot(normal, on_plane - eye) / denom;
  hit = eye + dir * t;
  return true;
}

void dither(Canvas& canvas) {
  static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      // Offsets stay inside (-0.5, 0.5) of a step, so exact values never move.
      float d = (static_cast<float>(kBayer[y & 3][x & 3]) + 0.5f) / 16.0f - 0.5f;
      Color& c = canvas.at(x, y);
      c = {c.r + d / 31.0f, c.g + d / 63.0f, c.b + d / 31.0f};
    }
}

Color ramp(Color dark, Color mid, Color light, float t) {
  t = clamp01(t);
  return t < 0.5f ? mix(dark, mid, t * 2) : mix(mid, light, t * 2 - 1);
}

}  // namespace art::turn
