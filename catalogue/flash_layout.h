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

// The table entries whose pixel arrays make up the flash image, in the order
// they lie in it: the tables' entries in the order printed, absent ones left
// out. The tables are those flash_tables gives for the table, whose entries
// all lie within it. FlashImage (flash_image.h) places them.
std::vector<size_t> flash_image_entries(const std::vector<FlashTable>& tables, const sBITMAP* const* table);

}  // namespace catalogue
