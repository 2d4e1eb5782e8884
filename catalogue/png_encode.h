// PNG and animated PNG, written chunk by chunk. The system's libpng cannot
// write the animation chunks; the still pictures share the same encoder,
// which is also several times faster than libpng at its highest compression
// on the large contact sheets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rgb565.h"

namespace catalogue {

// Both write 8-bit RGB, each channel expanded from RGB565 by bit replication,
// so reading the picture back gives the same RGB565 values. On failure they
// return false and set error; out is then not a usable picture.

// A still PNG of the image.
bool encode_png(const art::Image565& image, std::vector<uint8_t>& out, std::string& error);

// An animated PNG of frames, all of one size and at least one, that shows
// each frame for 1/fps s and loops forever. Frame 0 is also the still image
// that programs without animation support show.
bool encode_apng(const std::vector<art::Image565>& frames, unsigned fps, std::vector<uint8_t>& out,
                 std::string& error);

}  // namespace catalogue
