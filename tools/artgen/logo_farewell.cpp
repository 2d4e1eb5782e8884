#include "logo_farewell.h"

#include "capitals.h"
#include "logo_mark.h"
#include "palette.h"

namespace art::logo {

FarewellLayout farewell_layout(int width, int height) {
  FarewellLayout l;
  l.width = width;
  l.height = height;
  l.centre_x = width / 2;
  l.ring_radius = width * 3 / 8;
  l.caption = "GOODBYE";
  // Scale 2 only where the caption keeps a margin of 4 px each side.
  l.caption_scale = Canvas::text_width(l.caption, 2) <= width - 8 ? 2 : 1;
  l.caption_width = Canvas::text_width(l.caption, l.caption_scale);
  l.caption_height = kCapitalHeight * l.caption_scale;
  // The same arithmetic as Canvas::text_centred, so the box is where the
  // letters land.
  l.caption_left = l.centre_x - l.caption_width / 2;
  // Logo and caption as one block, set a little above the middle where it
  // reads as centred.
  const int gap = height / 8;
  int block = 2 * l.ring_radius + gap + l.caption_height;
  l.logo_top = (height - block) / 2 - height / 40;
  l.caption_top = l.logo_bottom() + gap;
  return l;
}

Canvas farewell_canvas(const FarewellLayout& layout) {
  Canvas canvas(layout.width, layout.height, palette::charcoal);
  float r = static_cast<float>(layout.ring_radius);
  Look look = calm_look({static_cast<float>(layout.centre_x), static_cast<float>(layout.logo_top) + r}, r);
  // Calm and dim: the lights are going out.
  look.brightness = 0.62f;
  look.glow = 0.22f;
  draw_logo(canvas, look);
  canvas.text_centred(layout.caption, layout.centre_x, layout.caption_top, layout.caption_scale,
                      mix(palette::charcoal, palette::silver, 0.7f));
  return canvas;
}

}  // namespace art::logo
