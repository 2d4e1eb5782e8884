// make_seeds DIR: small PNGs in the forms the art never takes but a drawing
// program may save (palette, grey, 16-bit, alpha, transparency chunks,
// interlaced), at the catalogue's sizes, as extra seeds for png_fuzz. The
// committed art covers 8-bit RGB.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "png_fixtures.h"
#include "process.h"

using testing_support::PngPicture;

namespace {

PngPicture picture(int width, int height, int depth, int colour_type, int samples_per_pixel) {
  PngPicture p;
  p.width = width;
  p.height = height;
  p.bit_depth = depth;
  p.colour_type = colour_type;
  const unsigned max = (1u << depth) - 1;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(samples_per_pixel);
  for (size_t i = 0; i < n; ++i) {
    // Alpha, where there is one, stays opaque; the rest is a ramp.
    const bool alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 &&
                       i % static_cast<size_t>(samples_per_pixel) == static_cast<size_t>(samples_per_pixel - 1);
    p.samples.push_back(alpha ? max : static_cast<unsigned>((i * 37) % (max + 1)));
  }
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  try {
    std::vector<std::pair<std::string, PngPicture>> seeds;

    PngPicture palette = picture(9, 12, 4, PNG_COLOR_TYPE_PALETTE, 1);
    for (unsigned i = 0; i < 16; ++i)
      palette.palette.push_back({static_cast<png_byte>(i * 17), static_cast<png_byte>(255 - i * 17), 0x80});
    seeds.push_back({"palette4_9x12", palette});
    palette.palette_alpha = {255, 255, 255};  // a tRNS chunk, every listed entry opaque
    seeds.push_back({"palette4_trns_9x12", palette});

    // Fewer colours than the depth can index: image data mutated to use an
    // index past the palette has to be refused.
    PngPicture short_palette = picture(5, 7, 2, PNG_COLOR_TYPE_PALETTE, 1);
    for (unsigned& index : short_palette.samples) index %= 3;
    short_palette.palette = {{0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0x00, 0x00, 0xFF}};
    seeds.push_back({"palette2_short_5x7", short_palette});

    seeds.push_back({"grey1_5x7", picture(5, 7, 1, PNG_COLOR_TYPE_GRAY, 1)});
    seeds.push_back({"grey16_9x12", picture(9, 12, 16, PNG_COLOR_TYPE_GRAY, 1)});
    seeds.push_back({"grey_alpha8_5x7", picture(5, 7, 8, PNG_COLOR_TYPE_GRAY_ALPHA, 2)});
    seeds.push_back({"rgb16_9x12", picture(9, 12, 16, PNG_COLOR_TYPE_RGB, 3)});
    seeds.push_back({"rgba16_9x12", picture(9, 12, 16, PNG_COLOR_TYPE_RGB_ALPHA, 4)});

    PngPicture keyed = picture(9, 12, 8, PNG_COLOR_TYPE_RGB, 3);
    keyed.has_transparent_colour = true;  // a colour no pixel has
    keyed.transparent_colour.red = 1;
    keyed.transparent_colour.green = 2;
    keyed.transparent_colour.blue = 3;
    keyed.gamma = 0.45455;
    seeds.push_back({"rgb8_trns_gamma_9x12", keyed});

    PngPicture interlaced = picture(100, 100, 8, PNG_COLOR_TYPE_RGB_ALPHA, 4);
    interlaced.interlaced = true;
    seeds.push_back({"rgba8_adam7_100x100", interlaced});

    for (const auto& seed : seeds) testing_support::write_png_file(dir + "/" + seed.first + ".png", seed.second);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
