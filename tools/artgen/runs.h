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

// Every drawer, in no particular order; null-terminated.
extern const RunDrawer kRunDrawers[];

const RunDrawer* find_drawer(const std::string& run);

// Draws bitmap `index` of the manifest's run with its drawer. When the drawing
// cannot be made as asked (a caption with a character the capitals lack, a
// bitmap of another size than the manifest's) returns false and sets error to
// one line naming the run and the bitmap.
bool draw_bitmap(const RunDrawer& drawer, const Run& run, int index, Image565& out, std::string& error);

// One function per run, each in its own source file.
Image565 draw_bolt(int index, int count, int width, int height);
Image565 draw_emblem(int index, int count, int width, int height);
Image565 draw_capitals(int index, int count, int width, int height);
Image565 draw_lock(int index, int count, int width, int height);
Image565 draw_charging(int index, int count, int width, int height);
Image565 draw_no_cartridge(int index, int count, int width, int height);
Image565 draw_digits_warm(int index, int count, int width, int height);
Image565 draw_farewell(int index, int count, int width, int height);
Image565 draw_farewell_measured(int index, int count, int width, int height);
Image565 draw_startup(int index, int count, int width, int height);
Image565 draw_smoke(int index, int count, int width, int height);
Image565 draw_timeout(int index, int count, int width, int height);
Image565 draw_digits_cool(int index, int count, int width, int height);

}  // namespace art
