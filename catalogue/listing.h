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

}  // namespace catalogue
