/* A stand-in board for the docs' firmware example (examples/firmware/
 * example.c, linked beside it): the external flash is a file, and the display
 * prints what it is sent.
 *
 *   board FLASH_IMAGE N
 *
 * prints the header's constants, checks the image both ways the example
 * does (exit status 1 when either check fails), then draws
 * flash_digits_cool[N]: its window, then one pixel a line in hexadecimal. */
#include <stdio.h>
#include <stdlib.h>

#include "example.h"

static FILE *flash;

void flash_read(uint32_t offset, uint8_t *data, uint32_t length) {
  if (fseek(flash, (long)offset, SEEK_SET) != 0 || fread(data, 1, length, flash) != length) {
    fprintf(stderr, "board: cannot read %lu bytes at %lu\n", (unsigned long)length, (unsigned long)offset);
    exit(3);
  }
}

void lcd_window(unsigned x, unsigned y, unsigned width, unsigned height) {
  printf("window %u %u %u %u\n", x, y, width, height);
}

void lcd_pixel(uint16_t rgb565) { printf("%04x\n", (unsigned)rgb565); }

int main(int argc, char **argv) {
  if (argc != 3 || !(flash = fopen(argv[1], "rb"))) return 2;
  printf("length %lu crc32 %08lx entries %u\n", (unsigned long)FLASH_IMAGE_LENGTH,
         (unsigned long)FLASH_IMAGE_CRC32, (unsigned)FLASH_TABLE_ENTRIES);
  const int boot_ok = flash_image_ok(), intact = flash_image_intact();
  printf("boot check %s, full check %s\n", boot_ok ? "ok" : "fails", intact ? "ok" : "fails");
  if (!boot_ok || !intact) return 1;
  draw(&flash_digits_cool[atoi(argv[2])], 10, 20);
  return 0;
}
