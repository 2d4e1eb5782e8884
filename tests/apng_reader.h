// A strict reader for the PNG and animated PNG files the catalogue writes,
// independent of the encoder: it checks the chunk layout, CRCs and sequence
// numbers and decodes every frame, so a test can compare pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// 8-bit RGB pixels as 0xRRGGBB, row-major.
struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> rgb;
  bool operator==(const Picture& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
};

// An RGB565 value as a picture shows it, each channel expanded by bit replication.
uint32_t rgb_of(uint16_t pixel);

struct DecodedPng {
  uint32_t width = 0, height = 0;
  bool animated = false;          // had an acTL chunk
  uint32_t plays = 0;             // from acTL; 0 loops forever
  std::vector<double> delays;     // seconds, one per frame
  std::vector<Picture> frames;    // a still PNG has one
};

// "" when bytes are an 8-bit RGB PNG (animated or not) that reads cleanly,
// else what is wrong. Animation frames must cover the whole canvas, with
// dispose "none" and blend "source", and frame 0 must be the IDAT image.
std::string decode_png(const std::string& bytes, DecodedPng& out);

// The picture as libpng reads it, which is what viewers without animation
// support show: "" or libpng's complaint.
std::string read_with_libpng(const std::string& bytes, Picture& out);

}  // namespace testing_support
