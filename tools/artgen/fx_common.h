// Helpers shared by the charging and smoke drawers: deterministic noise and
// the silver shading of metal parts.
#pragma once

#include <cstdint>

#include "canvas.h"

namespace art::fx {

// A well-mixed 32-bit hash of a lattice point; fixed seeds keep art stable.
uint32_t hash(int x, int y, uint32_t seed);

// Smooth value noise in [0, 1] on a unit lattice. The lattice repeats every
// period_y cells in y (period_y > 0), so a field scrolled by a whole number
// of periods looks the same: that is what makes a loop seamless.
float noise(float x, float y, int period_y, uint32_t seed);

// Polished metal lit from the upper left: brighter towards the top-left of
// the box (x0, y0)-(x1, y1), darker towards its bottom-right.
Color metal(float x, float y, float x0, float y0, float x1, float y1);

}  // namespace art::fx
