#include "flash_layout.h"

#include "manifest.h"

namespace catalogue {

// The manifest, which the runs come from, holds each to what one table takes.
static_assert(toolkit::kMaxRunBitmaps <= kMaxTableEntries, "a run must fit one flash table");

std::vector<FlashTable> flash_tables(const sBITMAP_RUN* runs, size_t run_count) {
  std::vector<FlashTable> tables;
  for (size_t r = 0; r < run_count; ++r)
    if (runs[r].first_entry != BITMAP_NOT_IN_TABLE)
      tables.push_back({runs[r].name, runs[r].first_entry, static_cast<uint8_t>(runs[r].count)});
  return tables;
}

std::vector<size_t> flash_image_entries(const std::vector<FlashTable>& tables, const sBITMAP* const* table) {
  std::vector<size_t> entries;
  for (const FlashTable& t : tables)
    for (size_t entry = t.first_entry; entry < size_t{t.first_entry} + t.count; ++entry)
      if (table[entry]) entries.push_back(entry);
  return entries;
}

}  // namespace catalogue
