// The farewell screen shown at power-off, and the layout it is drawn from.
// The measured variant draws the same screen and reads its dimensions from
// this layout, so the numbers on it are the picture's own.
#pragma once

#include <string>

#include "canvas.h"

namespace art::logo {

// Every position in whole pixels: edges are pixel boundaries, so a box from
// left to right covers the columns left .. right - 1.
struct FarewellLayout {
  int width = 0, height = 0;
  int centre_x = 0;         // the screen's centre line, a pixel boundary
  int ring_radius = 0;      // outer radius of the logo's ring
  int logo_top = 0;         // first row of the ring
  std::string caption;
  int caption_scale = 1;
  int caption_left = 0, caption_top = 0;
  int caption_width = 0, caption_height = 0;

  int logo_left() const { return centre_x - ring_radius; }
  int logo_right() const { return centre_x + ring_radius; }
  int logo_bottom() const { return logo_top + 2 * ring_radius; }
  int caption_right() const { return caption_left + caption_width; }
  int caption_bottom() const { return caption_top + caption_height; }
};

FarewellLayout farewell_layout(int width, int height);

// The farewell screen on a fresh canvas, before it is rounded to RGB565.
Canvas farewell_canvas(const FarewellLayout& layout);

}  // namespace art::logo
