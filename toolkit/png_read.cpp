#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "png_io.h"
#include "shown_name.h"

namespace toolkit {
namespace {

// Larger than any bitmap the device can show by far; the limit is there so
// that a broken or hostile header cannot make us allocate gigabytes.
constexpr png_uint_32 kMaxSide = 4096;

const png_byte kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Everything the libpng callbacks and the decoding frame share. Only trivial
// types: a longjmp out of libpng lands in decode(), which must not skip any
// destructor.
struct ReadContext {
  std::FILE* file = nullptr;
  std::jmp_buf jump;
  char message[200] = "";  // libpng's error message
  bool truncated = false;  // the file ended before the PNG did
  int read_errno = 0;      // the system refused to read the file
  png_structp png = nullptr;
  png_infop info = nullptr;

  // The picture, once the header is read.
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  bool palette = false;  // rows hold palette indices, one byte each
  int channels = 0;      // samples per pixel in the rows: 1 (palette), 3 or 4
  int bit_depth = 0;     // of a sample in the rows: 8 or 16
  png_color colours[256] = {};
  png_byte palette_alpha[256] = {};
  int palette_size = 0;
  int palette_alpha_size = 0;
};

void on_png_error(png_structp png, png_const_charp message) {
  auto* ctx = static_cast<ReadContext*>(png_get_error_ptr(png));
  std::snprintf(ctx->message, sizeof ctx->message, "%s", message);
  std::longjmp(ctx->jump, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

void on_png_read(png_structp png, png_bytep data, size_t length) {
  auto* ctx = static_cast<ReadContext*>(png_get_io_ptr(png));
  if (std::fread(data, 1, length, ctx->file) == length) return;
  if (std::ferror(ctx->file))
    ctx->read_errno = errno != 0 ? errno : EIO;
  else
    ctx->truncated = true;
  png_error(png, "read failed");
}

enum class Decoded { ok, failed, too_large };

// Reads the header and, unless the picture is too large, every row into data,
// as 8- or 16-bit RGB(A) samples or palette indices. On failed, ctx tells why.
// Nothing with a destructor lives in this frame; data and rows belong to the
// caller, and are only resized between calls into libpng.
Decoded decode(ReadContext& ctx, std::vector<png_byte>& data, std::vector<png_bytep>& rows) {
  ctx.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, on_png_error, on_png_warning);
  if (!ctx.png) {
    std::snprintf(ctx.message, sizeof ctx.message, "out of memory");
    return Decoded::failed;
  }
  ctx.info = png_create_info_struct(ctx.png);
  if (!ctx.info) {
    std::snprintf(ctx.message, sizeof ctx.message, "out of memory");
    return Decoded::failed;
  }
  if (setjmp(ctx.jump)) return Decoded::failed;

  png_set_read_fn(ctx.png, &ctx, on_png_read);
  png_set_sig_bytes(ctx.png, 8);
  // libpng's own limit would refuse a large header with a message of its
  // own; ours below names the size.
  png_set_user_limits(ctx.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  // Only the chunks that make the picture (IHDR, PLTE, tRNS, IDAT, IEND)
  // are read; the rest are skipped unread. libpng would otherwise allocate
  // and clear whatever length a text chunk (or sPLT, pCAL, sCAL) claims, up
  // to 2 GB for a file of a hundred bytes, before finding the file too
  // short. Gamma and colour profiles were never applied anyway.
  png_set_keep_unknown_chunks(ctx.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(ctx.png, ctx.info);

  ctx.width = png_get_image_width(ctx.png, ctx.info);
  ctx.height = png_get_image_height(ctx.png, ctx.info);
  if (ctx.width > kMaxSide || ctx.height > kMaxSide) return Decoded::too_large;

  const png_byte colour_type = png_get_color_type(ctx.png, ctx.info);
  const png_byte depth = png_get_bit_depth(ctx.png, ctx.info);
  // No gamma or colour profile is applied: the samples are the panel's values.
  if (colour_type == PNG_COLOR_TYPE_PALETTE) {
    // Indices are mapped here rather than by libpng, which would show an
    // index beyond the palette as black instead of refusing the file.
    ctx.palette = true;
    png_set_packing(ctx.png);
    png_colorp colours = nullptr;
    if (png_get_PLTE(ctx.png, ctx.info, &colours, &ctx.palette_size) != 0 && ctx.palette_size > 0) {
      if (ctx.palette_size > 256) ctx.palette_size = 256;
      std::memcpy(ctx.colours, colours, static_cast<size_t>(ctx.palette_size) * sizeof(png_color));
    }
    png_bytep alpha = nullptr;
    if (png_get_tRNS(ctx.png, ctx.info, &alpha, &ctx.palette_alpha_size, nullptr) != 0 && alpha) {
      if (ctx.palette_alpha_size > 256) ctx.palette_alpha_size = 256;
      if (ctx.palette_alpha_size > 0) std::memcpy(ctx.palette_alpha, alpha, static_cast<size_t>(ctx.palette_alpha_size));
    } else {
      ctx.palette_alpha_size = 0;
    }
  } else {
    if ((colour_type & PNG_COLOR_MASK_COLOR) == 0) {
      if (depth < 8) png_set_expand_gray_1_2_4_to_8(ctx.png);
      png_set_gray_to_rgb(ctx.png);
    }
    if (png_get_valid(ctx.png, ctx.info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(ctx.png);
  }
  png_set_interlace_handling(ctx.png);
  png_read_update_info(ctx.png, ctx.info);

  ctx.channels = png_get_channels(ctx.png, ctx.info);
  ctx.bit_depth = png_get_bit_depth(ctx.png, ctx.info);
  const bool layout_known = ctx.palette ? (ctx.channels == 1 && ctx.bit_depth == 8)
                                        : ((ctx.channels == 3 || ctx.channels == 4) &&
                                           (ctx.bit_depth == 8 || ctx.bit_depth == 16));
  const size_t row_bytes = static_cast<size_t>(ctx.width) * static_cast<size_t>(ctx.channels) *
                           static_cast<size_t>(ctx.bit_depth / 8);
  if (!layout_known || png_get_rowbytes(ctx.png, ctx.info) != row_bytes) {
    std::snprintf(ctx.message, sizeof ctx.message, "unexpected pixel layout after conversion");
    return Decoded::failed;
  }

  data.resize(row_bytes * ctx.height);
  rows.resize(ctx.height);
  for (png_uint_32 y = 0; y < ctx.height; ++y) rows[y] = data.data() + static_cast<size_t>(y) * row_bytes;
  png_read_image(ctx.png, rows.data());
  png_read_end(ctx.png, nullptr);  // the CRCs up to IEND, and a cut-off end
  return Decoded::ok;
}

struct FileCloser {
  std::FILE* file;
  ~FileCloser() { std::fclose(file); }
};

struct ReadStructDestroyer {
  ReadContext& ctx;
  ~ReadStructDestroyer() {
    if (ctx.png) png_destroy_read_struct(&ctx.png, &ctx.info, nullptr);
  }
};

std::string not_opaque(const std::string& path, png_uint_32 x, png_uint_32 y, unsigned alpha, unsigned max) {
  return shown_name(path) + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is not opaque (alpha " +
         std::to_string(alpha) + " of " + std::to_string(max) + "): the display cannot show transparency";
}

// Turns decoded rows into RGB565, refusing any pixel that is not fully opaque.
bool to_565(const std::string& path, const ReadContext& ctx, const std::vector<png_bytep>& rows,
            Image565& out, std::string& error) {
  Image565 image(static_cast<int>(ctx.width), static_cast<int>(ctx.height));
  const bool wide = ctx.bit_depth == 16;
  const unsigned max = wide ? 65535u : 255u;
  const size_t step = static_cast<size_t>(ctx.channels) * (wide ? 2u : 1u);
  for (png_uint_32 y = 0; y < ctx.height; ++y) {
    for (png_uint_32 x = 0; x < ctx.width; ++x) {
      const png_byte* p = rows[y] + x * step;
      unsigned r, g, b, alpha;
      if (ctx.palette) {
        const int index = p[0];
        if (index >= ctx.palette_size) {
          error = shown_name(path) + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                  ") uses palette entry " + std::to_string(index) + ", but the palette has only " +
                  std::to_string(ctx.palette_size) + " colours";
          return false;
        }
        r = ctx.colours[index].red;
        g = ctx.colours[index].green;
        b = ctx.colours[index].blue;
        alpha = index < ctx.palette_alpha_size ? ctx.palette_alpha[index] : 255u;
      } else {
        auto sample = [&](int c) -> unsigned {
          const size_t i = static_cast<size_t>(c);
          return wide ? (unsigned{p[2 * i]} << 8) | p[2 * i + 1] : unsigned{p[i]};
        };
        r = sample(0);
        g = sample(1);
        b = sample(2);
        alpha = ctx.channels == 4 ? sample(3) : max;
      }
      if (alpha != max) {
        error = not_opaque(path, x, y, alpha, max);
        return false;
      }
      image.at(static_cast<int>(x), static_cast<int>(y)) =
          pack565(round_channel(r, max, 31), round_channel(g, max, 63), round_channel(b, max, 31));
    }
  }
  out = std::move(image);
  return true;
}

}  // namespace

bool read_png(const std::string& path, Image565& out, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = shown_name(path) + ": cannot open: " + std::strerror(errno);
    return false;
  }
  FileCloser closer{file};

  png_byte signature[8];
  const size_t got = std::fread(signature, 1, sizeof signature, file);
  if (got < sizeof signature && std::ferror(file)) {
    error = shown_name(path) + ": cannot read: " + std::strerror(errno);
    return false;
  }
  if (got == 0 || std::memcmp(signature, kSignature, got) != 0) {
    error = shown_name(path) + ": not a PNG file";
    return false;
  }
  if (got < sizeof signature) {
    error = shown_name(path) + ": truncated";
    return false;
  }

  ReadContext ctx;
  ctx.file = file;
  ReadStructDestroyer destroyer{ctx};
  std::vector<png_byte> data;
  std::vector<png_bytep> rows;
  Decoded decoded = Decoded::failed;
  try {
    decoded = decode(ctx, data, rows);
    if (decoded == Decoded::ok) return to_565(path, ctx, rows, out, error);
  } catch (const std::bad_alloc&) {
    error = shown_name(path) + ": out of memory";
    return false;
  }
  if (decoded == Decoded::too_large) {
    error = shown_name(path) + ": " + std::to_string(ctx.width) + " x " + std::to_string(ctx.height) +
            " is larger than any bitmap the device can show";
    return false;
  }
  if (ctx.read_errno != 0)
    error = shown_name(path) + ": cannot read: " + std::strerror(ctx.read_errno);
  else if (ctx.truncated)
    error = shown_name(path) + ": truncated";
  else
    error = shown_name(path) + ": corrupt: " + ctx.message;
  return false;
}

}  // namespace toolkit
