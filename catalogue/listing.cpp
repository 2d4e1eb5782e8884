#include "listing.h"

#include <zlib.h>

#include <cinttypes>
#include <cstdio>

#include "names.h"

namespace catalogue {

std::string BitmapRow::name_text() const { return bitmap_name(*run, index_in_run); }

std::string BitmapRow::entry_text() const { return entry ? std::to_string(*entry) : "-"; }

std::string BitmapRow::size_text() const {
  return std::to_string(bitmap->width) + "x" + std::to_string(bitmap->height);
}

namespace {

std::string offset_text(std::optional<uint32_t> offset) {
  if (!offset) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIx32, *offset);
  return text;
}

std::string crc32_text(uint32_t crc32) {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIx32, crc32);
  return text;
}

}  // namespace

std::string BitmapRow::offset_text() const { return catalogue::offset_text(offset); }

std::string BitmapRow::crc32_text() const { return catalogue::crc32_text(crc32); }

std::vector<BitmapRow> bitmap_rows(const sBITMAP_RUN* runs, size_t run_count, const FlashImage& image) {
  std::vector<BitmapRow> rows;
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    for (unsigned i = 0; i < run.count; ++i) {
      BitmapRow row{&run, i, &run.records[i], std::nullopt, bitmap_byte_size(&run.records[i]), std::nullopt,
                    run.crc32s[i]};
      if (run.first_entry != BITMAP_NOT_IN_TABLE) {
        row.entry = run.first_entry + i;
        row.offset = image.offset_of(*row.entry);
      }
      rows.push_back(row);
    }
  }
  return rows;
}

std::vector<SegmentRow> other_segment_rows(const FlashImage& image) {
  std::vector<SegmentRow> rows;
  for (const ImageSegment& s : image.segments())
    if (!s.bitmap)
      rows.push_back({s.name, s.size, s.offset, offset_text(s.offset),
                      crc32_text(static_cast<uint32_t>(::crc32(0, s.bytes, s.size)))});
  return rows;
}

}  // namespace catalogue
