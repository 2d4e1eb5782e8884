// RGB565 values as the device's display takes them, and their 8-bit forms.
//
// A pixel is 16 bits: red in bits 15-11, green in 10-5, blue in 4-0. In every
// byte stream of this project (pixel arrays, blobs, image_data.bin) a pixel is
// stored high byte first: pure red 0xF800 is the bytes F8 00.
//
// A PNG shows an RGB565 value exactly when each channel is expanded by bit
// replication (5 bits abcde -> abcdeabc); rounding such a byte back to its
// channel width returns the original bits, so art round-trips losslessly.
#pragma once

#include <cstdint>
#include <vector>

namespace toolkit {

inline uint8_t expand5(unsigned v5) { return static_cast<uint8_t>((v5 << 3) | (v5 >> 2)); }
inline uint8_t expand6(unsigned v6) { return static_cast<uint8_t>((v6 << 2) | (v6 >> 4)); }

// Nearest channel value for an 8-bit or 16-bit sample (max 255 or 65535).
inline unsigned round_channel(unsigned sample, unsigned sample_max, unsigned channel_max) {
  return (sample * channel_max * 2 + sample_max) / (sample_max * 2);
}

inline uint16_t pack565(unsigned r5, unsigned g6, unsigned b5) {
  return static_cast<uint16_t>((r5 << 11) | (g6 << 5) | b5);
}

// Nearest RGB565 value of an 8-bit-per-channel colour.
inline uint16_t rgb888_to_565(unsigned r, unsigned g, unsigned b) {
  return pack565(round_channel(r, 255, 31), round_channel(g, 255, 63), round_channel(b, 255, 31));
}

inline uint8_t red8(uint16_t p) { return expand5(p >> 11); }
inline uint8_t green8(uint16_t p) { return expand6((p >> 5) & 0x3F); }
inline uint8_t blue8(uint16_t p) { return expand5(p & 0x1F); }

// A bitmap in memory: width x height RGB565 values, row-major from the top row.
struct Image565 {
  int width = 0;
  int height = 0;
  std::vector<uint16_t> pixels;

  Image565() = default;
  // A negative size is taken as 0, not as a request for gigabytes.
  Image565(int w, int h, uint16_t fill = 0)
      : width(w > 0 ? w : 0),
        height(h > 0 ? h : 0),
        pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}
  uint16_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
  uint16_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

// The device's byte order: each pixel high byte first, rows top to bottom.
inline void append_bytes(const Image565& image, std::vector<uint8_t>& out) {
  for (uint16_t p : image.pixels) {
    out.push_back(static_cast<uint8_t>(p >> 8));
    out.push_back(static_cast<uint8_t>(p & 0xFF));
  }
}

}  // namespace toolkit
