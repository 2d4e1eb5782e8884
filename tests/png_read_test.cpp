// read_png: every PNG form comes back as the RGB565 values the panel would
// show, and every broken or unusable file is refused with one line naming it.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "png_io.h"
#include "png_fixtures.h"
#include "process.h"

namespace {

using testing_support::PngPicture;
using testing_support::TempDir;

struct Reading {
  bool ok = false;
  toolkit::Image565 image;
  std::string error;
};

Reading read(const std::string& path) {
  Reading r;
  r.ok = toolkit::read_png(path, r.image, r.error);
  return r;
}

Reading read_bytes(const TempDir& dir, const std::string& bytes) {
  const std::string path = dir / "picture.png";
  testing_support::write_file(path, bytes);
  return read(path);
}

// A picture drawn in letters: an F in red on blue with two marks, so that no
// flip, transpose or red/blue swap maps it onto itself. 10 x 9 gives every
// interlace pass some pixels.
const std::vector<std::string> kLetterF = {
    "RRRRRRBBBB",  //
    "RBBBBBBBBB",  //
    "RBBBBBBBBB",  //
    "RRRRBBBBWB",  //
    "RBBBBBBBBB",  //
    "RBBBBBBBBB",  //
    "RBBBBBBBGB",  //
    "RBBBBBBBBB",  //
    "RBBBBKBBBB",  //
};
const std::map<char, uint16_t> kLetterColours = {
    {'R', 0xF800}, {'B', 0x001F}, {'W', 0xFFFF}, {'G', 0x07E0}, {'K', 0x0000}};

toolkit::Image565 letter_f() {
  toolkit::Image565 image(static_cast<int>(kLetterF[0].size()), static_cast<int>(kLetterF.size()));
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      image.at(x, y) = kLetterColours.at(kLetterF[static_cast<size_t>(y)][static_cast<size_t>(x)]);
  return image;
}

// The same letter as a 4-bit palette image.
PngPicture letter_f_palette() {
  PngPicture p;
  p.width = static_cast<int>(kLetterF[0].size());
  p.height = static_cast<int>(kLetterF.size());
  p.colour_type = PNG_COLOR_TYPE_PALETTE;
  p.bit_depth = 4;
  p.palette = {{255, 0, 0}, {0, 0, 255}, {255, 255, 255}, {0, 255, 0}, {0, 0, 0}};
  const std::string order = "RBWGK";
  for (const std::string& row : kLetterF)
    for (char c : row) p.samples.push_back(static_cast<unsigned>(order.find(c)));
  return p;
}

PngPicture picture(int width, int height, int colour_type, int bit_depth, std::vector<unsigned> samples) {
  PngPicture p;
  p.width = width;
  p.height = height;
  p.colour_type = colour_type;
  p.bit_depth = bit_depth;
  p.samples = std::move(samples);
  return p;
}

TEST(ReadPng, BitReplicatedArtComesBackExactly) {
  TempDir dir;
  const toolkit::Image565 expected = letter_f();
  struct Case {
    const char* name;
    PngPicture png;
  };
  PngPicture interlaced = testing_support::rgb8_picture(expected);
  interlaced.interlaced = true;
  PngPicture palette_interlaced = letter_f_palette();
  palette_interlaced.interlaced = true;
  const Case cases[] = {
      {"RGB 8-bit", testing_support::rgb8_picture(expected)},
      {"RGB 8-bit interlaced", interlaced},
      {"palette 4-bit", letter_f_palette()},
      {"palette 4-bit interlaced", palette_interlaced},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reading r = read_bytes(dir, testing_support::encode_png(c.png));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.image.width, 10);
    EXPECT_EQ(r.image.height, 9);
    EXPECT_EQ(r.image.pixels, expected.pixels);
  }
}

TEST(ReadPng, EveryChannelValueSurvivesTheFile) {
  // Row 0 every red value, row 1 every green value, row 2 every blue value.
  toolkit::Image565 ramps(64, 3);
  for (unsigned x = 0; x < 64; ++x) {
    ramps.at(static_cast<int>(x), 0) = toolkit::pack565(x % 32, 0, 0);
    ramps.at(static_cast<int>(x), 1) = toolkit::pack565(0, x, 0);
    ramps.at(static_cast<int>(x), 2) = toolkit::pack565(0, 0, x % 32);
  }
  TempDir dir;
  Reading r = read_bytes(dir, testing_support::encode_png(testing_support::rgb8_picture(ramps)));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.image.pixels, ramps.pixels);
}

TEST(Rgb565, BitReplicationThenRoundingReturnsTheValue) {
  for (unsigned v = 0; v < 32; ++v) {
    const unsigned byte = toolkit::expand5(v);
    EXPECT_EQ(toolkit::round_channel(byte, 255, 31), v) << v;
    EXPECT_EQ(toolkit::round_channel(byte * 257, 65535, 31), v) << v;  // the same art saved at 16 bits
  }
  for (unsigned v = 0; v < 64; ++v) {
    const unsigned byte = toolkit::expand6(v);
    EXPECT_EQ(toolkit::round_channel(byte, 255, 63), v) << v;
    EXPECT_EQ(toolkit::round_channel(byte * 257, 65535, 63), v) << v;
  }
}

TEST(ReadPng, EveryFormIsRoundedToTheNearestValue) {
  struct Case {
    const char* name;
    PngPicture png;
    std::vector<uint16_t> expected;
  };
  std::vector<Case> cases = {
      {"grey 1-bit across a byte boundary",
       picture(10, 1, PNG_COLOR_TYPE_GRAY, 1, {1, 0, 0, 1, 1, 0, 1, 0, 0, 1}),
       {0xFFFF, 0x0000, 0x0000, 0xFFFF, 0xFFFF, 0x0000, 0xFFFF, 0x0000, 0x0000, 0xFFFF}},
      {"grey 2-bit", picture(4, 1, PNG_COLOR_TYPE_GRAY, 2, {0, 1, 2, 3}), {0x0000, 0x52AA, 0xAD55, 0xFFFF}},
      {"grey 4-bit", picture(5, 1, PNG_COLOR_TYPE_GRAY, 4, {0, 1, 5, 10, 15}),
       {0x0000, 0x1082, 0x52AA, 0xAD55, 0xFFFF}},
      // Truncated, 0x0F would be 1/3/1; as (v + 4) >> 3, 0x84 would give red and blue 17.
      {"grey 8-bit", picture(3, 1, PNG_COLOR_TYPE_GRAY, 8, {0x0F, 0x84, 0xFF}), {0x1082, 0x8430, 0xFFFF}},
      // 521 and 1058 round up only from the full 16 bits, not from their high byte.
      {"grey 16-bit", picture(5, 1, PNG_COLOR_TYPE_GRAY, 16, {0, 521, 1058, 0x8000, 0xFFFF}),
       {0x0000, 0x0020, 0x0821, 0x8410, 0xFFFF}},
      // Each value comes out wrong either truncated or as (v + half) >> shift.
      {"RGB 8-bit",
       picture(6, 1, PNG_COLOR_TYPE_RGB, 8,
               {0x0F, 0, 0, 0, 0x07, 0, 0, 0, 0x05, 0x84, 0, 0, 0, 0x82, 0, 0, 0, 0x84}),
       {0x1000, 0x0040, 0x0001, 0x8000, 0x0400, 0x0010}},
      {"RGB 16-bit",
       picture(4, 1, PNG_COLOR_TYPE_RGB, 16, {0xFFFF, 0, 0, 0, 0, 0xFFFF, 1058, 521, 0, 0, 0, 1058}),
       {0xF800, 0x001F, 0x0820, 0x0001}},
      {"grey and alpha 8-bit, opaque", picture(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0x84, 255, 255, 255}),
       {0x8430, 0xFFFF}},
      {"grey and alpha 16-bit, opaque", picture(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0x8000, 0xFFFF, 0, 0xFFFF}),
       {0x8410, 0x0000}},
      {"RGBA 8-bit, opaque", picture(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {255, 0, 0, 255, 0, 0, 255, 255}),
       {0xF800, 0x001F}},
      {"RGBA 16-bit, opaque",
       picture(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0xFFFF, 0, 0, 0xFFFF, 0, 0x8000, 0, 0xFFFF}),
       {0xF800, 0x0400}},
  };

  PngPicture palette8 = picture(2, 2, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2, 1});
  palette8.palette = {{255, 0, 0}, {0, 0, 255}, {0x84, 0x82, 0x0F}};
  cases.push_back({"palette 8-bit", palette8, {0xF800, 0x001F, 0x8402, 0x001F}});

  PngPicture palette2 = picture(5, 1, PNG_COLOR_TYPE_PALETTE, 2, {3, 2, 1, 0, 3});
  palette2.palette = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 0, 255}};
  cases.push_back({"palette 2-bit", palette2, {0x001F, 0xF800, 0xFFFF, 0x0000, 0x001F}});

  PngPicture palette_opaque_alpha = palette8;
  palette_opaque_alpha.palette_alpha = {255, 255, 255};
  cases.push_back({"palette with a fully opaque tRNS", palette_opaque_alpha, {0xF800, 0x001F, 0x8402, 0x001F}});

  PngPicture grey_unused_key = picture(2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 255});
  grey_unused_key.has_transparent_colour = true;
  grey_unused_key.transparent_colour.gray = 7;
  cases.push_back({"grey with a transparent colour no pixel uses", grey_unused_key, {0x0000, 0xFFFF}});

  PngPicture rgb_unused_key = picture(2, 1, PNG_COLOR_TYPE_RGB, 8, {255, 0, 0, 0, 0, 255});
  rgb_unused_key.has_transparent_colour = true;
  rgb_unused_key.transparent_colour.red = 255;  // red 255, green 0, blue 255: not in the picture
  rgb_unused_key.transparent_colour.blue = 255;
  cases.push_back({"RGB with a transparent colour no pixel uses", rgb_unused_key, {0xF800, 0x001F}});

  // The samples are the panel's values: a gamma chunk must not change them.
  PngPicture with_gamma = picture(2, 1, PNG_COLOR_TYPE_RGB, 8, {0x84, 0x82, 0x0F, 0x10, 0x20, 0x30});
  with_gamma.gamma = 1.0;
  cases.push_back({"RGB 8-bit with gAMA 1.0", with_gamma, {0x8402, 0x1106}});

  PngPicture grey16_interlaced = picture(5, 1, PNG_COLOR_TYPE_GRAY, 16, {0, 521, 1058, 0x8000, 0xFFFF});
  grey16_interlaced.interlaced = true;
  cases.push_back({"grey 16-bit interlaced", grey16_interlaced, {0x0000, 0x0020, 0x0821, 0x8410, 0xFFFF}});

  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reading r = read_bytes(dir, testing_support::encode_png(c.png));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.image.width, c.png.width);
    EXPECT_EQ(r.image.height, c.png.height);
    EXPECT_EQ(r.image.pixels, c.expected);
  }
}

TEST(ReadPng, AcceptsTheLargestSize) {
  TempDir dir;
  Reading r = read_bytes(dir, testing_support::encode_png(picture(
                                  4096, 1, PNG_COLOR_TYPE_GRAY, 8, std::vector<unsigned>(4096, 255))));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.image.width, 4096);
  EXPECT_EQ(r.image.pixels, std::vector<uint16_t>(4096, 0xFFFF));
}

std::string good_png() {
  toolkit::Image565 image(6, 4, 0x001F);
  image.at(1, 0) = 0xF800;
  return testing_support::encode_png(testing_support::rgb8_picture(image));
}

std::string with_header(unsigned long width, unsigned long height) {
  std::string png = good_png();
  const size_t ihdr = testing_support::find_chunk(png, "IHDR");
  testing_support::put_u32(png, ihdr + 8, width);
  testing_support::put_u32(png, ihdr + 12, height);
  testing_support::fix_chunk_crc(png, ihdr);
  return png;
}

TEST(ReadPng, RefusesUnusableFilesWithOneLineNamingTheFile) {
  struct Case {
    const char* name;
    std::function<std::string()> bytes;  // the file's content
    std::string expected;                // what follows "<path>: "
    bool libpng_words = false;           // the rest of the line is libpng's own message
  };

  auto transparent = [](int colour_type, int depth, std::vector<unsigned> samples, int width) {
    return [=] {
      return testing_support::encode_png(
          picture(width, static_cast<int>(samples.size()) / width / (colour_type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 2),
                  colour_type, depth, samples));
    };
  };
  const std::string no_transparency = "): the display cannot show transparency";

  const std::vector<Case> cases = {
      {"RGBA with a transparent pixel",
       transparent(PNG_COLOR_TYPE_RGB_ALPHA, 8,
                   {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 0, 255, 0, 0, 255,  //
                    255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 0},
                   5),
       "pixel (3, 0) is not opaque (alpha 0 of 255" + no_transparency},
      {"RGBA with a nearly opaque pixel",
       transparent(PNG_COLOR_TYPE_RGB_ALPHA, 8, {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 254}, 2),
       "pixel (1, 1) is not opaque (alpha 254 of 255" + no_transparency},
      {"grey and alpha 16-bit, nearly opaque",
       transparent(PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0, 0xFFFF, 0, 0xFFFE}, 2),
       "pixel (1, 0) is not opaque (alpha 65534 of 65535" + no_transparency},
      {"palette with a tRNS entry a pixel uses",
       [] {
         PngPicture p = picture(3, 2, PNG_COLOR_TYPE_PALETTE, 8, {0, 2, 0, 2, 0, 1});
         p.palette = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}};
         p.palette_alpha = {255, 128};
         return testing_support::encode_png(p);
       },
       "pixel (2, 1) is not opaque (alpha 128 of 255" + no_transparency},
      {"grey with its transparent colour in use",
       [] {
         PngPicture p = picture(3, 1, PNG_COLOR_TYPE_GRAY, 8, {5, 7, 9});
         p.has_transparent_colour = true;
         p.transparent_colour.gray = 7;
         return testing_support::encode_png(p);
       },
       "pixel (1, 0) is not opaque (alpha 0 of 255" + no_transparency},
      {"grey 16-bit with its transparent colour in use",
       [] {
         PngPicture p = picture(2, 2, PNG_COLOR_TYPE_GRAY, 16, {100, 100, 200, 100});
         p.has_transparent_colour = true;
         p.transparent_colour.gray = 200;
         return testing_support::encode_png(p);
       },
       "pixel (0, 1) is not opaque (alpha 0 of 65535" + no_transparency},
      {"palette index beyond the palette",
       [] {
         PngPicture p = picture(3, 1, PNG_COLOR_TYPE_PALETTE, 2, {0, 3, 1});
         p.palette = {{255, 0, 0}, {0, 0, 255}};
         return testing_support::encode_png(p);
       },
       "pixel (1, 0) uses palette entry 3, but the palette has only 2 colours"},
      {"image data that fails its CRC",
       [] {
         std::string png = good_png();
         const size_t idat = testing_support::find_chunk(png, "IDAT");
         png[idat + 8 + testing_support::chunk_data_length(png, idat) / 2] ^= 0x10;
         return png;
       },
       "corrupt: IDAT: CRC error"},
      {"image data that is not a compressed stream",
       [] {
         std::string png = good_png();
         const size_t idat = testing_support::find_chunk(png, "IDAT");
         png[idat + 8] = 0x7F;  // the zlib header
         testing_support::fix_chunk_crc(png, idat);
         return png;
       },
       "corrupt: ", true},
      {"cut in the middle", [] { std::string png = good_png(); return png.substr(0, png.size() / 2); }, "truncated"},
      {"cut after the signature", [] { return good_png().substr(0, 8); }, "truncated"},
      {"cut inside the signature", [] { return good_png().substr(0, 4); }, "truncated"},
      {"cut before IEND", [] { std::string png = good_png(); return png.substr(0, png.size() - 12); }, "truncated"},
      {"a text file", [] { return std::string("width 80\nheight 160\n"); }, "not a PNG file"},
      {"an empty file", [] { return std::string(); }, "not a PNG file"},
      {"a signature with one byte wrong", [] { std::string png = good_png(); png[3] = 'g'; return png; },
       "not a PNG file"},
      {"width 5000", [] { return with_header(5000, 10); }, "5000 x 10 is larger than any bitmap the device can show"},
      {"height 4097", [] { return with_header(6, 4097); }, "6 x 4097 is larger than any bitmap the device can show"},
      {"the largest width a PNG can declare", [] { return with_header(0x7FFFFFFF, 4); },
       "2147483647 x 4 is larger than any bitmap the device can show"},
      {"width zero", [] { return with_header(0, 4); }, "corrupt: ", true},
  };

  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "art.png";
    testing_support::write_file(path, c.bytes());
    Reading r = read(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
    if (c.libpng_words) {
      EXPECT_EQ(r.error.rfind(path + ": " + c.expected, 0), 0u) << r.error;
      EXPECT_GT(r.error.size(), path.size() + 2 + c.expected.size()) << r.error;
    } else {
      EXPECT_EQ(r.error, path + ": " + c.expected);
    }
  }
}

TEST(ReadPng, RefusesWhatIsNotAFile) {
  TempDir dir;
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {dir / "missing.png", dir / "missing.png: cannot open: No such file or directory"},
      {dir.path(), dir.path() + ": cannot read: Is a directory"},
  };
  for (const Case& c : cases) {
    Reading r = read(c.path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.expected);
  }
}

}  // namespace
