// A contact sheet: a run's pictures side by side in one image, scaled up, for
// people to look at; artgen's sheets while drawing and the catalogue's
// previews are both drawn here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rgb565.h"

namespace toolkit {

struct SheetLayout {
  int scale;        // every pixel becomes scale x scale
  int gap;          // pixels between the frames and around the sheet
  int columns;      // frames to a row, at least 1
  uint16_t ground;  // the sheet's colour behind the frames
};

// The frames in rows of layout.columns, in order, each in a cell as large as
// the largest frame; with labels (one a frame), each under its label in the
// small digit face (label_font.h), black at three pixels a stroke. No frames
// make a sheet of one empty row.
Image565 contact_sheet(const std::vector<Image565>& frames, const std::vector<std::string>& labels,
                       const SheetLayout& layout);

}  // namespace toolkit
