// The drawers of the catalogue's runs, one per run of the manifest.
#pragma once

#include <string>

#include "manifest.h"
#include "rgb565.h"

namespace art {

using toolkit::Image565;
using toolkit::Run;

// Draws bitmap `index` (0 to count - 1) of a run of `count` bitmaps, each
// width x height. Drawers are pure: the same arguments give the same pixels.
using DrawBitmap = Image565 (*)(int index, int count, int width, int height);

struct RunDrawer {
  const char* name;  // the run's name in the manifest
  DrawBitmap draw;
};

const RunDrawer* find_drawer(const std::string& run);

// Draws bitmap `index` of the manifest's run with its drawer. When the drawing
// cannot be made as asked (a caption with a character the capitals lack, a
// bitmap of another size than the manifest's) returns false and sets error to
// one line naming the run and the bitmap.
bool draw_bitmap(const RunDrawer& drawer, const Run& run, int index, Image565& out, std::string& error);

// Every run artgen draws, once: X(name) for each, whose drawer is
// draw_<name> in run_<name>.cpp. The manifest says which runs it draws.
#define ART_RUNS(X)    \
  X(bolt)              \
  X(emblem)            \
  X(capitals)          \
  X(lock)              \
  X(charging)          \
  X(no_cartridge)      \
  X(digits_warm)       \
  X(farewell)          \
  X(farewell_measured) \
  X(startup)           \
  X(smoke)             \
  X(timeout)           \
  X(digits_cool)

#define ART_DECLARE_DRAWER(name) Image565 draw_##name(int index, int count, int width, int height);
ART_RUNS(ART_DECLARE_DRAWER)
#undef ART_DECLARE_DRAWER

}  // namespace art
