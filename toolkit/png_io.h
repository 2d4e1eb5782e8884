// Reading and writing the catalogue's PNG art.
#pragma once

#include <string>

#include "rgb565.h"

namespace toolkit {

// Writes an 8-bit RGB PNG of the image, each channel expanded by bit
// replication, so that reading it back gives the same RGB565 values, as small
// as the encoder makes it (Compression::smallest: this writes the art). Written
// as every output is (output_file.h): a file is complete or not there. On
// failure returns false and sets error to "<path>: <what went wrong>".
bool write_png(const std::string& path, const Image565& image, std::string& error);

// Reads a PNG as the device would show it. Accepted: any bit depth and colour
// type; palette and grey images are expanded to RGB; every channel is rounded
// to the nearest RGB565 value (so bit-replicated art comes back exactly). An
// alpha channel or a transparency chunk is accepted only while every pixel is
// fully opaque: the display cannot show transparency, and guessing a
// background would hide a mistake in the art.
// On failure returns false and sets error to one line, "<path>: <what is wrong>".
bool read_png(const std::string& path, Image565& out, std::string& error);

}  // namespace toolkit
