#include "apng_reader.h"

#include <png.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace testing_support {
namespace {

uint32_t be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

struct Chunk {
  std::string type;
  std::vector<uint8_t> data;
};

std::string inflate_into(const std::vector<uint8_t>& z, size_t expected, std::vector<uint8_t>& raw) {
  raw.assign(expected + 1, 0);  // one spare byte shows a stream that is too long
  uLongf size = static_cast<uLongf>(raw.size());
  const int rc = uncompress(raw.data(), &size, z.data(), static_cast<uLong>(z.size()));
  if (rc != Z_OK || size != expected) return "frame data does not inflate to " + std::to_string(expected) + " bytes";
  raw.resize(expected);
  return "";
}

int paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

std::string unfilter(const std::vector<uint8_t>& raw, uint32_t width, uint32_t height, std::vector<uint8_t>& rgb) {
  const size_t stride = size_t{width} * 3;
  rgb.assign(stride * height, 0);
  for (size_t y = 0; y < height; ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    const uint8_t* in = raw.data() + y * (stride + 1) + 1;
    uint8_t* row = rgb.data() + y * stride;
    const uint8_t* up = y ? row - stride : nullptr;
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= 3 ? row[i - 3] : 0, b = up ? up[i] : 0, c = up && i >= 3 ? up[i - 3] : 0;
      int predictor;
      switch (filter) {
        case 0: predictor = 0; break;
        case 1: predictor = a; break;
        case 2: predictor = b; break;
        case 3: predictor = (a + b) / 2; break;
        case 4: predictor = paeth(a, b, c); break;
        default: return "row " + std::to_string(y) + " has filter type " + std::to_string(filter);
      }
      row[i] = static_cast<uint8_t>(in[i] + predictor);
    }
  }
  return "";
}

}  // namespace

uint32_t rgb_of(uint16_t p) {
  const uint32_t r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

std::string read_with_libpng(const std::string& bytes, Picture& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return image.message;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return image.message;
  out = Picture{image.width, image.height, {}};
  for (size_t i = 0; i < rgb.size(); i += 3)
    out.rgb.push_back(uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
  return "";
}

std::string decode_png(const std::string& file, DecodedPng& out) {
  out = DecodedPng{};
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
  static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || std::memcmp(bytes, signature, 8) != 0) return "no PNG signature";
  std::vector<Chunk> chunks;
  for (size_t at = 8; at < file.size();) {
    if (file.size() - at < 12) return "a truncated chunk at byte " + std::to_string(at);
    const uint32_t length = be32(bytes + at);
    if (length > file.size() - at - 12) return "a chunk longer than the file at byte " + std::to_string(at);
    const uint8_t* type = bytes + at + 4;
    if (be32(type + 4 + length) != crc32(0, type, length + 4))
      return "bad CRC on " + std::string(reinterpret_cast<const char*>(type), 4);
    chunks.push_back({std::string(reinterpret_cast<const char*>(type), 4),
                      std::vector<uint8_t>(type + 4, type + 4 + length)});
    at += 12 + length;
  }
  if (chunks.empty() || chunks[0].type != "IHDR" || chunks[0].data.size() != 13) return "IHDR is not first";
  if (chunks.back().type != "IEND" || !chunks.back().data.empty()) return "IEND is not last";
  const uint8_t* ihdr = chunks[0].data.data();
  out.width = be32(ihdr);
  out.height = be32(ihdr + 4);
  if (out.width == 0 || out.height == 0) return "an empty image";
  if (std::memcmp(ihdr + 8, "\x08\x02\x00\x00\x00", 5) != 0) return "not 8-bit RGB, deflate, filter 0, no interlace";

  // Walk the rest in order, gathering each frame's compressed data. An
  // animation's frame 0 must be the IDAT image, and every frame must cover
  // the whole canvas, as the catalogue writes them.
  uint32_t declared_frames = 0, next_sequence = 0;
  bool seen_idat = false, idat_done = false;
  std::vector<std::vector<uint8_t>> data;  // per frame
  for (size_t i = 1; i + 1 < chunks.size(); ++i) {
    const Chunk& c = chunks[i];
    const uint8_t* d = c.data.data();
    if (seen_idat && c.type != "IDAT") idat_done = true;
    if (c.type == "acTL") {
      if (out.animated || seen_idat || c.data.size() != 8) return "acTL misplaced or malformed";
      out.animated = true;
      declared_frames = be32(d);
      out.plays = be32(d + 4);
    } else if (c.type == "fcTL") {
      if (!out.animated || c.data.size() != 26) return "fcTL without acTL or malformed";
      if (seen_idat != !data.empty() || (seen_idat && !idat_done)) return "fcTL misplaced around IDAT";
      if (be32(d) != next_sequence++) return "fcTL out of sequence";
      if (be32(d + 4) != out.width || be32(d + 8) != out.height || be32(d + 12) || be32(d + 16))
        return "a frame that does not cover the canvas";
      if (d[24] != 0 || d[25] != 0) return "a dispose or blend operation other than none and source";
      const uint16_t num = be16(d + 20), den = be16(d + 22);
      out.delays.push_back(num / (den ? static_cast<double>(den) : 100.0));
      data.emplace_back();
    } else if (c.type == "IDAT") {
      if (idat_done) return "IDAT chunks are not consecutive";
      if (out.animated && data.size() != 1) return "IDAT is not frame 0";
      if (!seen_idat && !out.animated) data.emplace_back();
      seen_idat = true;
      data.back().insert(data.back().end(), c.data.begin(), c.data.end());
    } else if (c.type == "fdAT") {
      if (!idat_done || data.size() < 2 || c.data.size() < 4) return "fdAT before IDAT or without its fcTL";
      if (be32(d) != next_sequence++) return "fdAT out of sequence";
      data.back().insert(data.back().end(), c.data.begin() + 4, c.data.end());
    } else if (c.type == "IHDR" || c.type == "IEND") {
      return "a second " + c.type;
    }
  }
  if (!seen_idat) return "no IDAT";
  if (out.animated && declared_frames != data.size())
    return "acTL says " + std::to_string(declared_frames) + " frames, fcTL chunks " + std::to_string(data.size());

  std::vector<uint8_t> raw, rgb;
  for (size_t f = 0; f < data.size(); ++f) {
    if (data[f].empty()) return "frame " + std::to_string(f) + " has no data";
    std::string error = inflate_into(data[f], (size_t{out.width} * 3 + 1) * out.height, raw);
    if (error.empty()) error = unfilter(raw, out.width, out.height, rgb);
    if (!error.empty()) return "frame " + std::to_string(f) + ": " + error;
    Picture frame{out.width, out.height, {}};
    for (size_t i = 0; i < rgb.size(); i += 3)
      frame.rgb.push_back(uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
    out.frames.push_back(std::move(frame));
  }
  return "";
}

}  // namespace testing_support
