// The pieces behind the catalogue command that its real data cannot reach:
// absent entries, and pictures of every kind of content the encoder meets
// (animations are checked on the real runs by the command's own test).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "apng_reader.h"
#include "flash_layout.h"
#include "page.h"
#include "png_encode.h"

namespace {

TEST(FlashLayout, OffsetsFollowTheTablesAndSkipAbsentEntries) {
  const sBITMAP a{9, 12, nullptr}, b{5, 7, nullptr};
  const sBITMAP* table[5] = {&a, nullptr, &b, &a, &b};
  // Printed in the order entry 3-4, then 0-2; entry 2 is not in any table.
  const std::vector<catalogue::FlashTable> tables = {{"late", 3, 2}, {"early", 0, 2}};
  const std::vector<uint32_t> offsets = catalogue::flash_offsets(tables, table, 5);
  const std::vector<uint32_t> expected = {216 + 70, catalogue::kNoOffset, catalogue::kNoOffset, 0, 216};
  EXPECT_EQ(offsets, expected);
}

// The page's data: every bitmap's bytes in base64 (the padding of each
// length a record can have), the image length of the tables, and run names
// that cannot end the script element holding them or start markup.
TEST(CataloguePage, CarriesEachBitmapsBytesAndNoMarkupFromNames) {
  const uint8_t two[] = {0x80, 0xEC}, four[] = {0, 1, 2, 3}, six[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const sBITMAP records[] = {{1, 1, two}, {2, 1, four}, {3, 1, six}};
  const sBITMAP* table[] = {&records[1]};
  const sBITMAP_RUN runs[] = {{"a</script><b>&", BITMAP_NOT_IN_TABLE, 3, records}, {"t", 0, 1, &records[1]}};
  const std::string page = catalogue::catalogue_page(runs, 2, table, 1);
  for (const char* expected : {"\"pixels\":\"gOw=\"", "\"pixels\":\"AAECAw==\"", "\"pixels\":\"////////\"",
                               "\"imageLength\":4,", "\"name\":\"a\\u003c/script\\u003e\\u003cb\\u003e\\u0026\"",
                               "\"offset\":0,\"offsetText\":\"0x00000000\"", "\"offset\":null,\"offsetText\":\"-\""})
    EXPECT_NE(page.find(expected), std::string::npos) << expected;
  size_t script_ends = 0;
  for (size_t at = page.find("</script"); at != std::string::npos; at = page.find("</script", at + 1)) ++script_ends;
  EXPECT_EQ(script_ends, 2u) << "the data's and the code's";
}

// Noise, flat colour, stripes and gradients, rows repeated and not.
art::Image565 test_image(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  art::Image565 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint16_t v;
      if (y < height / 4) v = static_cast<uint16_t>(random());
      else if (y < height / 2) v = 0x1082;
      else if (y < 3 * height / 4) v = x % 3 ? 0xFFFF : 0xF800;
      else v = art::pack565(static_cast<unsigned>(x) % 32, static_cast<unsigned>(y) % 64, static_cast<unsigned>(x + y) % 32);
      image.at(x, y) = v;
    }
  return image;
}

testing_support::Picture picture_of(const art::Image565& image) {
  testing_support::Picture p{static_cast<uint32_t>(image.width), static_cast<uint32_t>(image.height), {}};
  for (uint16_t v : image.pixels) p.rgb.push_back(testing_support::rgb_of(v));
  return p;
}

TEST(PngEncode, StillPicturesReadBackExactly) {
  for (auto [w, h] : {std::pair{1, 1}, {37, 23}, {240, 8}}) {
    const art::Image565 image = test_image(w, h, static_cast<unsigned>(w * h));
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(art::encode_png(image, art::Compression::smallest, png, error)) << error;
    const std::string bytes(png.begin(), png.end());
    testing_support::Picture read;
    ASSERT_EQ(testing_support::read_with_libpng(bytes, read), "");
    EXPECT_TRUE(read == picture_of(image)) << w << " x " << h;
    testing_support::DecodedPng decoded;
    ASSERT_EQ(testing_support::decode_png(bytes, decoded), "");
    EXPECT_FALSE(decoded.animated);
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_TRUE(decoded.frames[0] == picture_of(image));
  }
}

TEST(PngEncode, RefusesWhatItCannotPicture) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(art::encode_png(art::Image565(0, 5), art::Compression::quick, out, error));
  EXPECT_FALSE(art::encode_apng({}, 15, out, error));
  EXPECT_FALSE(art::encode_apng({art::Image565(3, 3), art::Image565(3, 4)}, 15, out, error));
  EXPECT_FALSE(art::encode_apng({art::Image565(3, 3)}, 0, out, error));
}

}  // namespace
