/* A firmware's record of a bitmap in the external flash, FLASH_sBITMAP, which
 * the catalogue's flash_tables.h includes unless FLASH_SBITMAP_HEADER names
 * the firmware's own. const, so that the tables stay in the
 * microcontroller's flash; the tag gives the type linkage, so that C++
 * functions taking it can be called from other files. */
#ifndef FLASH_SBITMAP_H
#define FLASH_SBITMAP_H
#include <stdint.h>
typedef const struct flash_bitmap { uint8_t width, height; uint32_t offset; } FLASH_sBITMAP;
#endif
