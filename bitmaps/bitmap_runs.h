/*
 * The catalogue by runs, as the art manifest lists them: for tools that show
 * or export the bitmaps with their names. The program's own run does not need
 * this.
 */
#ifndef BITMAPS_BITMAP_RUNS_H
#define BITMAPS_BITMAP_RUNS_H

#include <stddef.h>

#include "bitmap.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BITMAP_NOT_IN_TABLE 0xFFFFu

typedef struct {
  const char *name;        /* the run's name in the art manifest, e.g. "bolt" */
  uint16_t first_entry;    /* bitmap_table index of its first bitmap, or BITMAP_NOT_IN_TABLE */
  uint16_t count;          /* bitmaps in the run */
  const sBITMAP *records;  /* its count records, in order */
  const uint32_t *crc32s;  /* the CRC-32 (as zlib's crc32) of each record's pixel bytes, worked out by the build */
} sBITMAP_RUN;

/* Every run, in catalogue order. */
extern const sBITMAP_RUN bitmap_runs[];
extern const size_t bitmap_run_count;

#ifdef __cplusplus
}
#endif

#endif
