#include "png_encode.h"

#include <zlib.h>

#include <algorithm>

namespace toolkit {
namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

// Length, type, data, and the CRC-32 of type and data.
void put_chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  put32(out, static_cast<uint32_t>(data.size()));
  const size_t type_at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0, out.data() + type_at, static_cast<uInt>(out.size() - type_at));
  put32(out, static_cast<uint32_t>(crc));
}

// The frame's scanlines: a row equal to the one above, as most rows of
// scaled-up pictures are, filtered with Up to zeros; every other row left
// unfiltered. The art is flat colour and hard edges, where deflate finds the
// repeats in the pixels themselves: the usual heuristic (each row's filter of
// least sum of magnitudes) made the committed art a quarter larger (993 KB
// against 797 KB at level 9) and took three times as long.
std::vector<uint8_t> filtered_scanlines(const Image565& image) {
  const size_t width = static_cast<size_t>(image.width), stride = width * 3;
  std::vector<uint8_t> out((stride + 1) * static_cast<size_t>(image.height));
  for (size_t y = 0; y < static_cast<size_t>(image.height); ++y) {
    const uint16_t* row = image.pixels.data() + y * width;
    uint8_t* line = out.data() + y * (stride + 1);
    if (y && std::equal(row, row + width, row - width)) {
      line[0] = 2;  // Up: the rest stays zero
      continue;
    }
    for (size_t x = 0; x < width; ++x) {  // None: filter byte 0, the samples as they are
      line[1 + 3 * x] = toolkit::red8(row[x]);
      line[2 + 3 * x] = toolkit::green8(row[x]);
      line[3 + 3 * x] = toolkit::blue8(row[x]);
    }
  }
  return out;
}

bool deflate_image(const Image565& image, Compression compression, std::vector<uint8_t>& out, std::string& error) {
  const std::vector<uint8_t> raw = filtered_scanlines(image);
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  out.resize(size);
  const int level = compression == Compression::smallest ? Z_BEST_COMPRESSION : Z_DEFAULT_COMPRESSION;
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK) {
    error = "cannot compress the image";
    return false;
  }
  out.resize(size);
  return true;
}

void start_png(std::vector<uint8_t>& out, const Image565& image) {
  static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.assign(signature, signature + 8);
  std::vector<uint8_t> ihdr;
  put32(ihdr, static_cast<uint32_t>(image.width));
  put32(ihdr, static_cast<uint32_t>(image.height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, adaptive filters, no interlace
  put_chunk(out, "IHDR", ihdr);
}

bool drawable(const Image565& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0 || image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    error = "an image with no pixels";
    return false;
  }
  return true;
}

}  // namespace

bool encode_png(const Image565& image, Compression compression, std::vector<uint8_t>& out, std::string& error) {
  if (!drawable(image, error)) return false;
  std::vector<uint8_t> compressed;
  if (!deflate_image(image, compression, compressed, error)) return false;
  start_png(out, image);
  put_chunk(out, "IDAT", compressed);
  put_chunk(out, "IEND", {});
  return true;
}

bool encode_apng(const std::vector<Image565>& frames, unsigned fps, std::vector<uint8_t>& out,
                 std::string& error) {
  if (frames.empty()) {
    error = "no frames";
    return false;
  }
  if (fps == 0 || fps > 0xFFFF) {
    error = "a frame rate out of range";
    return false;
  }
  const Image565& first = frames[0];
  for (const Image565& f : frames) {
    if (!drawable(f, error)) return false;
    if (f.width != first.width || f.height != first.height) {
      error = "frames of different sizes";
      return false;
    }
  }
  start_png(out, first);

  std::vector<uint8_t> actl;
  put32(actl, static_cast<uint32_t>(frames.size()));
  put32(actl, 0);  // plays: 0 loops forever
  put_chunk(out, "acTL", actl);

  // fcTL and fdAT share one sequence; IDAT carries frame 0 and has none.
  uint32_t sequence = 0;
  std::vector<uint8_t> data;
  for (size_t i = 0; i < frames.size(); ++i) {
    std::vector<uint8_t> fctl;
    put32(fctl, sequence++);
    put32(fctl, static_cast<uint32_t>(first.width));
    put32(fctl, static_cast<uint32_t>(first.height));
    put32(fctl, 0);  // x offset
    put32(fctl, 0);  // y offset
    put16(fctl, 1);  // delay 1/fps s
    put16(fctl, static_cast<uint16_t>(fps));
    fctl.push_back(0);  // dispose: none; every frame covers the canvas anyway
    fctl.push_back(0);  // blend: source, the frame replaces what was there
    put_chunk(out, "fcTL", fctl);

    std::vector<uint8_t> compressed;
    if (!deflate_image(frames[i], Compression::quick, compressed, error)) return false;
    if (i == 0) {
      put_chunk(out, "IDAT", compressed);
    } else {
      data.clear();
      put32(data, sequence++);
      data.insert(data.end(), compressed.begin(), compressed.end());
      put_chunk(out, "fdAT", data);
    }
  }
  put_chunk(out, "IEND", {});
  return true;
}

}  // namespace toolkit
