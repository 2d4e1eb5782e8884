/*
 * Flash tables: C source that tells the firmware where each bitmap's pixel
 * array sits in the external flash image. Every printed entry is given the
 * next free offset, so tables printed one after another describe one image
 * in which the pixel arrays follow each other with no gaps.
 *
 * The printed text declares, for a table called "digits" with 10 entries,
 *
 *   FLASH_sBITMAP flash_digits[10] = {
 *   9, 12, 0x0,
 *   9, 12, 0xd8,
 *   ...
 *   };
 *
 * one "width, height, offset," line per present entry, for the firmware's
 * own record type (width, height, 32-bit offset).
 *
 * Usable from C and C++.
 */
#ifndef FLASH_TABLE_FLASH_TABLE_H
#define FLASH_TABLE_FLASH_TABLE_H

#include <stdint.h>
#include <stdio.h>

#include "bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The placement rule of the flash image: the offset that follows a present
 * entry placed at offset, which is offset plus the entry's byte size, modulo
 * 2^32 (absent entries take no space, so they are never placed). The printer
 * places every entry by it; tools that work out where a printed entry lands
 * use it too. */
static inline uint32_t flash_offset_after(uint32_t offset, const sBITMAP *entry) {
  return offset + bitmap_byte_size(entry); /* unsigned: wraps modulo 2^32 */
}

/* The next free offset in the flash image: 0 when the process starts,
 * advanced by each printed entry's byte size, modulo 2^32, never reset.
 * Read it freely; only this library writes it. */
extern uint32_t flash_offset;

/* Prints the table `name` to out: the header line with count in brackets,
 * then for entries[0] to entries[count - 1] in order one line per present
 * entry, then "};". A null entry is absent: it prints nothing and takes no
 * flash space, so the entries after it close up (the header still says
 * count). name is printed as it is and must be a string; entries must hold
 * count pointers (it is not read when count is 0). Output errors are left
 * for the caller to see on out (ferror). */
void print_flash_table_to(FILE *out, const char *name, const sBITMAP *const *entries, uint8_t count);

/* print_flash_table_to on standard output. */
void print_flash_table(const char *name, const sBITMAP *const *entries, uint8_t count);

#ifdef __cplusplus
}
#endif

#endif
