/*
 * The bitmap record and the one pixel format of the catalogue.
 *
 * A pixel array is width x height pixels, row-major from the top row, each
 * row from its leftmost pixel; no padding between rows and nothing before or
 * after. Each pixel is an RGB565 value (red in bits 15-11, green in 10-5,
 * blue in 4-0) stored HIGH BYTE FIRST: pure red 0xF800 is the bytes F8 00,
 * the dark grey 0x1082 is 10 82. Every producer and consumer of pixel bytes
 * in this project uses this order and treats the bytes as opaque otherwise.
 *
 * Usable from C and C++.
 */
#ifndef BITMAPS_BITMAP_H
#define BITMAPS_BITMAP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint8_t width;         /* pixels */
  uint8_t height;        /* pixels */
  const uint8_t *pixels; /* first byte of the pixel array, read-only, lives for the whole process */
} sBITMAP;

/* Bytes of the record's pixel array: width x height x 2, in 32-bit unsigned
 * arithmetic, since 255 x 255 x 2 does not fit in 16 bits; 0 when width or
 * height is 0. */
static inline uint32_t bitmap_byte_size(const sBITMAP *bitmap) {
  return (uint32_t)bitmap->width * (uint32_t)bitmap->height * 2u;
}

#ifdef __cplusplus
}
#endif

#endif
