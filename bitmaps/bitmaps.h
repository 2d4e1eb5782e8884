/*
 * The device's bitmap catalogue: every screen, animation frame and font of
 * the device as constant data built into the program. Include this header to
 * use it; link the `bitmaps` library.
 *
 * bitmap_table lists the catalogue's records in catalogue order: the runs of
 * the art manifest (art/manifest.txt) placed in the table, one after another
 * from entry 0; `catalogue list` shows each entry with its run and size (pixel
 * format in bitmap.h). The runs placed outside the table, the two farewell
 * screens, are reached by their own names. The build checks
 * BITMAP_TABLE_LENGTH against the manifest.
 */
#ifndef BITMAPS_BITMAPS_H
#define BITMAPS_BITMAPS_H

#include "bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BITMAP_TABLE_LENGTH 279

/* Read-only; every entry is a distinct record, none is absent. */
extern const sBITMAP *const bitmap_table[BITMAP_TABLE_LENGTH];

extern const sBITMAP farewell_bitmap;          /* the farewell screen */
extern const sBITMAP farewell_measured_bitmap; /* the same with its layout measurements drawn over it */

#ifdef __cplusplus
}
#endif

#endif
