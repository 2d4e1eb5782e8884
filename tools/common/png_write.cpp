#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "png_io.h"
#include "output_file.h"

namespace art {
namespace {

struct WriteContext {
  std::jmp_buf jump;
  char message[200];
};

void on_png_error(png_structp png, png_const_charp message) {
  auto* ctx = static_cast<WriteContext*>(png_get_error_ptr(png));
  std::snprintf(ctx->message, sizeof ctx->message, "%s", message);
  std::longjmp(ctx->jump, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// Encodes rows into file; false with ctx.message set on a libpng error.
// Nothing with a destructor lives in this frame, so the longjmp skips none.
bool encode(std::FILE* file, const Image565& image, const std::vector<png_bytep>& rows,
            WriteContext& ctx) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, on_png_error, on_png_warning);
  if (!png) {
    std::snprintf(ctx.message, sizeof ctx.message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(ctx.jump)) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, const_cast<png_bytepp>(rows.data()));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write_png(const std::string& path, const Image565& image, std::string& error) {
  std::vector<png_byte> rgb;
  rgb.reserve(image.pixels.size() * 3);
  for (uint16_t p : image.pixels) {
    rgb.push_back(red8(p));
    rgb.push_back(green8(p));
    rgb.push_back(blue8(p));
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y)
    rows[static_cast<size_t>(y)] = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width) * 3;

  OutputFile out(path);
  if (!out.file()) {
    error = out.error();
    return false;
  }
  WriteContext ctx{};
  if (!encode(out.file(), image, rows, ctx)) {
    error = path + ": " + ctx.message;
    return false;
  }
  return out.commit(error);
}

}  // namespace art
