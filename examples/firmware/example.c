#include <stdint.h>
#include <string.h>
#include "flash_tables.h"

/* The board's own: read the external flash, send pixels to the display. */
void flash_read(uint32_t offset, uint8_t *data, uint32_t length);
void lcd_window(unsigned x, unsigned y, unsigned width, unsigned height);
void lcd_pixel(uint16_t rgb565);

/* At boot, from 16 bytes: does the external flash hold the image these
 * tables describe? Its record names the pixels by their length and CRC-32. */
int flash_image_ok(void) {
  static const uint8_t expected[FLASH_IMAGE_RECORD_LENGTH] = FLASH_IMAGE_RECORD;
  uint8_t record[FLASH_IMAGE_RECORD_LENGTH];
  flash_read(FLASH_IMAGE_RECORD_OFFSET, record, sizeof record);
  return memcmp(record, expected, sizeof record) == 0;
}

/* After programming, or on demand: is every byte of the image intact? The
 * CRC-32 a byte at a time through a table of 256 (1 KiB of RAM, made once). */
int flash_image_intact(void) {
  static uint32_t table[256];
  uint8_t block[256];
  uint32_t crc = 0xFFFFFFFFu, at = 0;
  for (uint32_t i = 0; !table[255] && i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = c & 1u ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[i] = c;
  }
  while (at < FLASH_IMAGE_RECORD_OFFSET) { /* a multiple of 4, as every n is */
    uint32_t n = FLASH_IMAGE_RECORD_OFFSET - at < sizeof block ? FLASH_IMAGE_RECORD_OFFSET - at : sizeof block;
    flash_read(at, block, n);
    for (const uint8_t *p = block; p < block + n; p += 4) {
      crc = table[(uint8_t)(crc ^ p[0])] ^ crc >> 8;
      crc = table[(uint8_t)(crc ^ p[1])] ^ crc >> 8;
      crc = table[(uint8_t)(crc ^ p[2])] ^ crc >> 8;
      crc = table[(uint8_t)(crc ^ p[3])] ^ crc >> 8;
    }
    at += n;
  }
  return ~crc == FLASH_IMAGE_CRC32 && flash_image_ok();
}

/* Draws one bitmap at x, y: draw(&flash_digits_cool[7], 10, 20). */
void draw(const FLASH_sBITMAP *b, unsigned x, unsigned y) {
  uint8_t row[2 * 255];
  lcd_window(x, y, b->width, b->height);
  for (uint32_t r = 0; r < b->height; ++r) {
    flash_read(b->offset + r * 2u * b->width, row, 2u * b->width);
    for (uint32_t c = 0; c < b->width; ++c)
      lcd_pixel((uint16_t)(row[2 * c] << 8 | row[2 * c + 1])); /* high byte first */
  }
}
