// How the catalogue's tables lay out the external flash image: which tables
// `catalogue table` prints, and where each entry's pixel array lands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap_runs.h"

namespace catalogue {

// One printed table: a run of bitmap_table (a table holds at most 255
// entries, which the manifest's cap on a run keeps).
struct FlashTable {
  std::string name;      // the run's name
  uint16_t first_entry;  // bitmap_table index of its first entry
  uint8_t count;
};

constexpr unsigned kMaxTableEntries = 255;

// The tables for every run placed in bitmap_table, in the runs' order.
// Runs outside the table get none.
std::vector<FlashTable> flash_tables(const sBITMAP_RUN* runs, size_t run_count);

constexpr uint32_t kNoOffset = 0xFFFFFFFFu;

// Both below take the tables flash_tables gives for bitmap_table, whose
// entries all lie within it.

// Offset in the flash image of each of the table's table_length entries, in
// the order the tables print them, from 0, placed by the printer's own rule
// (flash_offset_after). Entries that no table covers, or that are absent, are
// given kNoOffset.
std::vector<uint32_t> flash_offsets(const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                                    size_t table_length);

// The bitmaps whose pixel arrays make up the flash image, in the order they
// lie in it: the tables' entries in the order printed, absent ones left out.
std::vector<const sBITMAP*> flash_image_bitmaps(const std::vector<FlashTable>& tables, const sBITMAP* const* table);

}  // namespace catalogue
