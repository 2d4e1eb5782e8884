// What `catalogue list` says about each bitmap, and the catalogue page with
// it: one row per bitmap in catalogue order, computed here only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bitmap_runs.h"
#include "flash_image.h"
#include "flash_layout.h"

namespace catalogue {

struct BitmapRow {
  const sBITMAP_RUN* run;
  unsigned index_in_run;
  const sBITMAP* bitmap;
  std::optional<unsigned> entry;   // bitmap_table index; none outside the table
  uint32_t bytes;
  std::optional<uint32_t> offset;  // in the flash image; none outside it
  uint32_t crc32;                  // of its bytes

  // The columns as `list` prints them: "-" where there is no entry or offset.
  std::string name_text() const;    // "smoke:22": the run, and the frame from 0
  std::string entry_text() const;
  std::string size_text() const;    // "80x160"
  std::string offset_text() const;  // "0x00006400"
  std::string crc32_text() const;   // "1a2b3c4d"
};

// Every bitmap of the runs, in their order, with its place in the flash image
// of the runs' tables.
std::vector<BitmapRow> bitmap_rows(const sBITMAP_RUN* runs, size_t run_count, const FlashImage& image);

// The image's segments that are no bitmap, after the bitmaps: the padding,
// if any, and the trailer ("(record)" in `list`, with "-" for entry and size).
struct SegmentRow {
  std::string name;  // "record" (the trailer), "padding"
  uint32_t bytes;
  uint32_t offset;
  std::string offset_text;
  std::string crc32_text;
};
std::vector<SegmentRow> other_segment_rows(const FlashImage& image);

// A bitmap's name by its run: the run's name and the frame, counted from 0
// ("smoke:10"), as the image's parts and the page show it.
std::string bitmap_name(const sBITMAP_RUN& run, unsigned frame);

// The bitmap a name `list` shows gives: its table entry of the table's
// table_length ("195"), or its run's name with ":FRAME", or the name alone
// for a run of one bitmap. Null when the text names none, with the reason:
// how to name a bitmap of the run, or the name meant when a run's name is
// within 2 edits of the text's ("Smoke:10" for smoke:10).
const sBITMAP* find_bitmap(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                           size_t table_length, const std::string& text, std::string& reason);

}  // namespace catalogue
