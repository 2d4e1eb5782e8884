// The farewell screen at power-off: the logo at rest, dimmed, over a
// caption.
#include "logo_farewell.h"
#include "runs.h"

namespace art {

Image565 draw_farewell(int, int, int width, int height) {
  return logo::farewell_canvas(logo::farewell_layout(width, height)).to_image();
}

}  // namespace art
