// The farewell screen as the farewell run draws it, with its layout measured
// over it as a redline: guides on the logo's and caption's edges and the
// centre line, and the distances between them in pixels. Every number comes
// from the layout the screen is drawn from.
#include "logo_farewell.h"
#include "logo_redline.h"
#include "palette.h"
#include "runs.h"

namespace art {

Image565 draw_farewell_measured(int, int, int width, int height) {
  const logo::FarewellLayout l = logo::farewell_layout(width, height);
  Canvas canvas = logo::farewell_canvas(l);

  // Guides sit just outside each box, so they never hide the picture's own
  // edge pixels.
  const Color guide = palette::cyan;
  const float guide_opacity = 0.55f;
  logo::guide_column(canvas, l.centre_x, guide, guide_opacity, true);
  for (int x : {l.logo_left() - 1, l.logo_right(), l.caption_left - 1, l.caption_right()})
    logo::guide_column(canvas, x, guide, guide_opacity);
  for (int y : {l.logo_top - 1, l.logo_bottom(), l.caption_top - 1, l.caption_bottom()})
    logo::guide_row(canvas, y, guide, guide_opacity);

  const Color line = palette::magenta;
  // Down the middle of the margin left of the logo's guide.
  const int side = (l.logo_left() - 1) / 2;
  // Above the logo, between logo and caption, and below the caption.
  logo::dimension_down(canvas, 0, l.logo_top, side, line);
  logo::dimension_down(canvas, l.logo_bottom(), l.caption_top, side, line);
  logo::dimension_down(canvas, l.caption_bottom(), height, side, line);
  // The logo's width above it, and its margins on the row through its middle.
  int logo_mid = l.logo_top + l.ring_radius;
  logo::dimension_across(canvas, l.logo_left(), l.logo_right(), l.logo_top / 2 + 6, line);
  logo::dimension_across(canvas, 0, l.logo_left(), logo_mid, line);
  logo::dimension_across(canvas, l.logo_right(), width, logo_mid, line);
  // The caption's margins on its middle row and its width below it.
  int caption_mid = l.caption_top + l.caption_height / 2;
  logo::dimension_across(canvas, 0, l.caption_left, caption_mid, line);
  logo::dimension_across(canvas, l.caption_right(), width, caption_mid, line);
  logo::dimension_across(canvas, l.caption_left, l.caption_right(), l.caption_bottom() + 7, line);
  return canvas.to_image();
}

}  // namespace art
