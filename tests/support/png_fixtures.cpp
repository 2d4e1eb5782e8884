#include "png_fixtures.h"

#include <csetjmp>
#include <cstdio>
#include <stdexcept>

#include "process.h"

namespace testing_support {
namespace {

struct Sink {
  std::string* bytes = nullptr;
  std::jmp_buf jump;
  char message[200] = "";
};

void on_error(png_structp png, png_const_charp message) {
  auto* sink = static_cast<Sink*>(png_get_error_ptr(png));
  std::snprintf(sink->message, sizeof sink->message, "%s", message);
  std::longjmp(sink->jump, 1);
}

void on_warning(png_structp, png_const_charp) {}

void on_write(png_structp png, png_bytep data, size_t length) {
  static_cast<Sink*>(png_get_io_ptr(png))->bytes->append(reinterpret_cast<const char*>(data), length);
}

void on_flush(png_structp) {}

int samples_per_pixel(int colour_type) {
  switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_PALETTE: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: throw std::runtime_error("unknown colour type");
  }
}

// The libpng calls; nothing with a destructor lives in this frame.
bool encode(const PngPicture& picture, png_bytepp rows, Sink& sink) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, on_error, on_warning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(sink.jump)) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &sink, on_write, on_flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height),
               picture.bit_depth, picture.colour_type,
               picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty())
    png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
  if (!picture.palette_alpha.empty())
    png_set_tRNS(png, info, picture.palette_alpha.data(), static_cast<int>(picture.palette_alpha.size()), nullptr);
  if (picture.has_transparent_colour) png_set_tRNS(png, info, nullptr, 0, &picture.transparent_colour);
  if (picture.gamma != 0) png_set_gAMA(png, info, picture.gamma);
  png_write_info(png, info);
  if (picture.bit_depth < 8) png_set_packing(png);  // rows hold one sample per byte
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

unsigned long crc32_of(const std::string& bytes, size_t begin, size_t end) {
  unsigned long crc = 0xFFFFFFFFul;
  for (size_t i = begin; i < end; ++i) {
    crc ^= static_cast<unsigned char>(bytes[i]);
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320ul : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFul;
}

unsigned long get_u32(const std::string& bytes, size_t offset) {
  unsigned long v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + i));
  return v;
}

}  // namespace

std::string encode_png(const PngPicture& picture) {
  const size_t per_pixel = static_cast<size_t>(samples_per_pixel(picture.colour_type));
  const size_t bytes_per_sample = picture.bit_depth == 16 ? 2 : 1;
  const size_t width = static_cast<size_t>(picture.width);
  const size_t height = static_cast<size_t>(picture.height);
  if (picture.samples.size() != width * height * per_pixel) throw std::runtime_error("wrong number of samples");

  std::vector<png_byte> data;
  for (unsigned s : picture.samples) {
    if (bytes_per_sample == 2) data.push_back(static_cast<png_byte>(s >> 8));
    data.push_back(static_cast<png_byte>(s & 0xFF));
  }
  std::vector<png_bytep> rows(height);
  for (size_t y = 0; y < height; ++y) rows[y] = data.data() + y * width * per_pixel * bytes_per_sample;

  std::string bytes;
  Sink sink;
  sink.bytes = &bytes;
  if (!encode(picture, rows.data(), sink)) throw std::runtime_error(std::string("libpng: ") + sink.message);
  return bytes;
}

PngPicture rgb8_picture(const toolkit::Image565& image) {
  PngPicture picture;
  picture.width = image.width;
  picture.height = image.height;
  for (uint16_t p : image.pixels) {
    picture.samples.push_back(toolkit::red8(p));
    picture.samples.push_back(toolkit::green8(p));
    picture.samples.push_back(toolkit::blue8(p));
  }
  return picture;
}

void write_png_file(const std::string& path, const PngPicture& picture) { write_file(path, encode_png(picture)); }

size_t find_chunk(const std::string& png, const char* type) {
  size_t at = 8;
  while (at + 12 <= png.size()) {
    if (png.compare(at + 4, 4, type) == 0) return at;
    at += 12 + get_u32(png, at);
  }
  return std::string::npos;
}

size_t chunk_data_length(const std::string& png, size_t chunk) { return get_u32(png, chunk); }

void fix_chunk_crc(std::string& png, size_t chunk) {
  const size_t end = chunk + 8 + chunk_data_length(png, chunk);
  put_u32(png, end, crc32_of(png, chunk + 4, end));
}

void put_u32(std::string& bytes, size_t offset, unsigned long value) {
  for (size_t i = 0; i < 4; ++i)
    bytes.at(offset + i) = static_cast<char>(static_cast<unsigned char>((value >> (24 - 8 * i)) & 0xFF));
}

}  // namespace testing_support
