// PNG files made at test time, in every form a reader has to cope with, and
// the byte surgery that turns a good file into a broken one.
#pragma once

#include <png.h>

#include <cstddef>
#include <string>
#include <vector>

#include "rgb565.h"

namespace testing_support {

// A PNG described sample by sample, exactly as it is to be stored.
struct PngPicture {
  int width = 0;
  int height = 0;
  int bit_depth = 8;                      // 1, 2, 4, 8 or 16, as the colour type allows
  int colour_type = PNG_COLOR_TYPE_RGB;   // any PNG_COLOR_TYPE_*
  bool interlaced = false;                // Adam7
  std::vector<unsigned> samples;          // row-major; per pixel its samples in PNG order (palette: the index)
  std::vector<png_color> palette;         // PLTE, for palette images
  std::vector<png_byte> palette_alpha;    // tRNS of a palette image: alpha of the first entries
  bool has_transparent_colour = false;    // tRNS of a grey or RGB image
  png_color_16 transparent_colour = {};   // .gray, or .red/.green/.blue
  double gamma = 0;                       // writes a gAMA chunk when non-zero
};

// The picture as PNG file bytes. Throws std::runtime_error if libpng refuses it.
std::string encode_png(const PngPicture& picture);

// 8-bit RGB with each channel expanded by bit replication, the form our art
// takes: it reads back as exactly image.
PngPicture rgb8_picture(const toolkit::Image565& image);

void write_png_file(const std::string& path, const PngPicture& picture);

// Offset of the first chunk of the given type (its length field), or npos.
size_t find_chunk(const std::string& png, const char* type);
size_t chunk_data_length(const std::string& png, size_t chunk);
// Recomputes the CRC of the chunk at offset chunk after its data was edited.
void fix_chunk_crc(std::string& png, size_t chunk);
void put_u32(std::string& bytes, size_t offset, unsigned long value);  // big-endian, as PNG stores it

}  // namespace testing_support
