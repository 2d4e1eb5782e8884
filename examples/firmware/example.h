/* What a board shares with the example (example.c): the example's checks of
 * the external flash and its drawing, which the board calls, and the board's
 * own routines, which the example calls. */
#ifndef EXAMPLE_H
#define EXAMPLE_H

#include <stdint.h>

#include "flash_tables.h"

int flash_image_ok(void);
int flash_image_intact(void);
void draw(const FLASH_sBITMAP *b, unsigned x, unsigned y);

/* The board's own: read the external flash, send pixels to the display. */
void flash_read(uint32_t offset, uint8_t *data, uint32_t length);
void lcd_window(unsigned x, unsigned y, unsigned width, unsigned height);
void lcd_pixel(uint16_t rgb565);

#endif
