// Pictures of the catalogue for people: contact sheets and animation frames,
// decoded from the pixel bytes the program carries.
#pragma once

#include <vector>

#include "bitmap_runs.h"
#include "rgb565.h"

namespace catalogue {

struct PreviewStyle {
  int scale;      // every pixel becomes scale x scale
  bool animated;  // the run's bitmaps are frames of a moving picture
  unsigned fps;   // frames per second when animated
};

// Large pictures are scaled up less than the tiny font glyphs; runs of
// pictures (not of glyphs) with more than one bitmap are animations.
PreviewStyle preview_style(const sBITMAP_RUN& run);

// The bitmap's pixels (read high byte first), each repeated scale x scale.
toolkit::Image565 scaled_bitmap(const sBITMAP& bitmap, int scale);

// The run's bitmaps at scale in a grid in run order, each under a label with
// its bitmap_table index ("-" outside the table), on a mid-grey ground.
toolkit::Image565 contact_sheet(const sBITMAP_RUN& run, int scale);

// The run's bitmaps at scale, as animation frames.
std::vector<toolkit::Image565> animation_frames(const sBITMAP_RUN& run, int scale);

}  // namespace catalogue
