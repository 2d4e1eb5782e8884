// How the catalogue's tables lay out the external flash image: which tables
// `catalogue table` prints, and where each entry's pixel array lands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap_runs.h"

namespace catalogue {

// One printed table: a run of bitmap_table, or a piece of a run too long for
// one table (a table holds at most 255 entries).
struct FlashTable {
  std::string name;      // the run's name; "<run>_part1", "<run>_part2", ... for pieces
  uint16_t first_entry;  // bitmap_table index of its first entry
  uint8_t count;
};

constexpr unsigned kMaxTableEntries = 255;

// The tables for every run placed in bitmap_table, in the runs' order.
// Runs outside the table get none.
std::vector<FlashTable> flash_tables(const sBITMAP_RUN* runs, size_t run_count);

constexpr uint32_t kNoOffset = 0xFFFFFFFFu;

// Offset in the flash image of each of the table's table_length entries, in
// the order the tables print them, from 0, placed by the printer's own rule
// (flash_offset_after). Entries that no table covers, or that are absent, are
// given kNoOffset.
std::vector<uint32_t> flash_offsets(const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                                    size_t table_length);

// The bitmaps whose pixel arrays make up the flash image, in the order they
// lie in it: the tables' entries in the order printed, absent ones left out.
std::vector<const sBITMAP*> flash_image_bitmaps(const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                                                size_t table_length);

// One part of the flash image, with what names it to a developer.
struct FlashSegment {
  std::string name;  // a bitmap as `catalogue list` shows it, entry and run:frame: "269 digits_cool:0"
  const uint8_t* bytes;
  uint32_t size;
  const sBITMAP* bitmap;  // the bitmap whose pixels these are; null for a part that is no bitmap
};

// The flash image that the runs' tables describe, part by part in the order
// the parts lie in it from offset 0, with nothing between them. Everything
// that writes or reads the image takes it from here.
std::vector<FlashSegment> flash_image_segments(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                                               size_t table_length);

}  // namespace catalogue
