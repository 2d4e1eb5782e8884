// The project's one PNG writer: still and animated PNG, written chunk by
// chunk over zlib. The system's libpng cannot write the animation chunks,
// and this needs nothing a Windows build lacks; the art, the contact sheets
// and the animations all come from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rgb565.h"

namespace toolkit {

// Both write 8-bit RGB, each channel expanded from RGB565 by bit replication,
// so reading the picture back gives the same RGB565 values. On failure they
// return false and set error; out is then not a usable picture.

// How hard deflate works. The art is written once and kept, so it is
// written as small as zlib can (level 9, about twice the time); pictures made
// to be looked at are written at zlib's default level, which keeps
// `catalogue preview` quick.
enum class Compression { quick, smallest };

// A still PNG of the image.
bool encode_png(const Image565& image, Compression compression, std::vector<uint8_t>& out, std::string& error);

// An animated PNG of frames, all of one size and at least one, that shows
// each frame for 1/fps s and loops forever. Frame 0 is also the still image
// that programs without animation support show. Compressed quick.
bool encode_apng(const std::vector<Image565>& frames, unsigned fps, std::vector<uint8_t>& out,
                 std::string& error);

}  // namespace toolkit
