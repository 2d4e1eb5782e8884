/*
 * A stand-in catalogue for a build of image_export whose output is full of
 * the bytes that a text-mode stream would change: LF (0A), CR (0D) and the
 * old end-of-file mark (1A). Written through a binary stream they come out
 * as they are; a text stream on Windows would turn each 0A into 0D 0A.
 *
 * The second-style 0 (entry 269) holds the bytes 0 to 215 in order; the
 * second-style 9 (entry 278) starts with 0A 0D 0A 1A 0A 0A 0D 0D. Every
 * other entry refers to the 0.
 */
#include "bitmaps.h"

static const uint8_t counting_pixels[216] = {
#define ROW(n) n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10, n + 11, n + 12, n + 13, n + 14, n + 15, n + 16, n + 17
    ROW(0), ROW(18), ROW(36), ROW(54), ROW(72), ROW(90), ROW(108), ROW(126), ROW(144), ROW(162), ROW(180), ROW(198)
#undef ROW
};

static const uint8_t line_end_pixels[216] = {0x0A, 0x0D, 0x0A, 0x1A, 0x0A, 0x0A, 0x0D, 0x0D};

static const sBITMAP counting = {9, 12, counting_pixels};
static const sBITMAP line_ends = {9, 12, line_end_pixels};

#define E8 &counting, &counting, &counting, &counting, &counting, &counting, &counting, &counting
#define E64 E8, E8, E8, E8, E8, E8, E8, E8

const sBITMAP *const bitmap_table[BITMAP_TABLE_LENGTH] = {
    E64, E64, E64, E64,                                 /* 0-255 */
    E8, E8,                                             /* 256-271 */
    &counting, &counting, &counting, &counting, &counting, &counting, /* 272-277 */
    &line_ends,                                         /* 278 */
};
