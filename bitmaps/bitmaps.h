/*
 * The device's bitmap catalogue: every screen, animation frame and font of
 * the device as constant data built into the program. Include this header to
 * use it; link the `bitmaps` library.
 *
 * bitmap_table lists the catalogue's records in catalogue order, entries 0 to
 * 278 (pixel format in bitmap.h):
 *
 *   0-29     80 x 160  a lightning bolt turning about its vertical axis
 *   30-43   100 x 100  a round emblem with a bolt at its centre, turning
 *   44-69     5 x 7    the capitals A to Z, white (FFFF) on black (0000) only
 *   70-99     80 x 160 lock screen: padlock animation with a caption
 *   100-114   80 x 160 charging screen: battery, bolt badge, moving fill level
 *   115-139   80 x 160 missing-cartridge screen animation with a caption
 *   140-149    9 x 12  digits 0-9, first style (orange to pink), on black
 *   150-184   80 x 160 start-up logo animation on dark grey 0x1082
 *   185-238   80 x 160 rising smoke, a seamless loop
 *   239-268   80 x 160 time-out screen: clock animation with a caption
 *   269-278    9 x 12  digits 0-9, second style (magenta to blue), on black
 *
 * The two farewell screens stand in catalogue order between entries 149 and
 * 150 but are not in the table; they are reached by their own names.
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
