// The bitmap record's byte-size rule, which every consumer uses. (Its fields' order
// shows in the golden table: the generated records list width, height, pixels.)
#include <gtest/gtest.h>

#include <type_traits>

#include "bitmap.h"

namespace {

TEST(BitmapRecord, ByteSizeIsTwoBytesPerPixel) {
  struct Case {
    uint8_t width, height;
    uint32_t bytes;
  };
  const Case cases[] = {
      {9, 12, 216},     {5, 7, 70},   {80, 160, 25600}, {100, 100, 20000},
      {0, 160, 0},      {80, 0, 0},   {0, 0, 0},        {1, 1, 2},
      {255, 255, 130050},  // 0xFC02 twice over: needs more than 16 bits
  };
  for (const Case& c : cases) {
    sBITMAP record{c.width, c.height, nullptr};
    EXPECT_EQ(bitmap_byte_size(&record), c.bytes) << int{c.width} << " x " << int{c.height};
  }
  // 8-bit sides, so that the largest array, 255 x 255, fits the 32-bit size.
  static_assert(std::is_same_v<decltype(sBITMAP::width), uint8_t>);
  static_assert(std::is_same_v<decltype(sBITMAP::height), uint8_t>);
  static_assert(std::is_same_v<decltype(bitmap_byte_size(nullptr)), uint32_t>);
}

}  // namespace
