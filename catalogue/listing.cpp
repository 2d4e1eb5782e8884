#include "listing.h"

#include <zlib.h>

#include <cinttypes>
#include <cstdio>

namespace catalogue {

std::string BitmapRow::entry_text() const { return in_table ? std::to_string(entry) : "-"; }

std::string BitmapRow::size_text() const {
  return std::to_string(bitmap->width) + "x" + std::to_string(bitmap->height);
}

std::string BitmapRow::offset_text() const {
  if (offset == kNoOffset) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIx32, offset);
  return text;
}

std::string BitmapRow::crc32_text() const {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIx32, crc32);
  return text;
}

std::vector<BitmapRow> bitmap_rows(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                                   size_t table_length) {
  const std::vector<uint32_t> offsets = flash_offsets(flash_tables(runs, run_count), table, table_length);
  std::vector<BitmapRow> rows;
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    for (unsigned i = 0; i < run.count; ++i) {
      BitmapRow row{&run, i, &run.records[i], run.first_entry != BITMAP_NOT_IN_TABLE, 0, 0, kNoOffset, 0};
      if (row.in_table) {
        row.entry = run.first_entry + i;
        if (row.entry < offsets.size()) row.offset = offsets[row.entry];
      }
      row.bytes = bitmap_byte_size(row.bitmap);
      row.crc32 = static_cast<uint32_t>(::crc32(0, row.bitmap->pixels, row.bytes));
      rows.push_back(row);
    }
  }
  return rows;
}

}  // namespace catalogue
