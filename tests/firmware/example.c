#include <stdint.h>
#include "flash_tables.h"

/* The board's own: read the external flash, send pixels to the display. */
void flash_read(uint32_t offset, uint8_t *data, uint32_t length);
void lcd_window(unsigned x, unsigned y, unsigned width, unsigned height);
void lcd_pixel(uint16_t rgb565);

/* At boot: does the external flash hold the image these tables describe? */
int flash_image_ok(void) {
  uint8_t block[256];
  uint32_t crc = 0xFFFFFFFFu, at = 0;
  while (at < FLASH_IMAGE_LENGTH) {
    uint32_t n = FLASH_IMAGE_LENGTH - at < sizeof block ? FLASH_IMAGE_LENGTH - at : sizeof block;
    flash_read(at, block, n);
    for (uint32_t i = 0; i < n; ++i) {
      crc ^= block[i];
      for (int bit = 0; bit < 8; ++bit) crc = crc & 1u ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    at += n;
  }
  return ~crc == FLASH_IMAGE_CRC32;
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
