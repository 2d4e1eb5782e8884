#include "fx_common.h"

#include "palette.h"

namespace art::fx {

uint32_t hash(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B9u;
  h ^= static_cast<uint32_t>(x) * 0x85EBCA6Bu;
  h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
  h ^= static_cast<uint32_t>(y) * 0xC2B2AE35u;
  h = (h ^ (h >> 13)) * 0x297A2D39u;
  return h ^ (h >> 16);
}

namespace {

float lattice(int x, int y, int period_y, uint32_t seed) {
  int wy = ((y % period_y) + period_y) % period_y;
  return static_cast<float>(hash(x, wy, seed) >> 8) / static_cast<float>(1u << 24);
}

float quintic(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

}  // namespace

float noise(float x, float y, int period_y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  float tx = quintic(x - fx), ty = quintic(y - fy);
  float a = lattice(ix, iy, period_y, seed), b = lattice(ix + 1, iy, period_y, seed);
  float c = lattice(ix, iy + 1, period_y, seed), d = lattice(ix + 1, iy + 1, period_y, seed);
  float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

Color metal(float x, float y, float x0, float y0, float x1, float y1) {
  // 0 at the top-left corner of the box, 1 at the bottom-right.
  float u = clamp01(((x - x0) / (x1 - x0) + (y - y0) / (y1 - y0)) / 2);
  return u < 0.4f ? mix(mix(palette::silver, palette::white, 0.45f), palette::silver, u / 0.4f)
                  : mix(palette::silver, mix(palette::silver, palette::steel, 0.6f), (u - 0.4f) / 0.6f);
}

}  // namespace art::fx
