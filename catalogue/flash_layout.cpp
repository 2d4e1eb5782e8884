#include "flash_layout.h"

#include "flash_table.h"
#include "manifest.h"

namespace catalogue {

// The manifest, which the runs come from, holds each to what one table takes.
static_assert(art::kMaxRunBitmaps <= kMaxTableEntries, "a run must fit one flash table");

std::vector<FlashTable> flash_tables(const sBITMAP_RUN* runs, size_t run_count) {
  std::vector<FlashTable> tables;
  for (size_t r = 0; r < run_count; ++r)
    if (runs[r].first_entry != BITMAP_NOT_IN_TABLE)
      tables.push_back({runs[r].name, runs[r].first_entry, static_cast<uint8_t>(runs[r].count)});
  return tables;
}

namespace {

// Calls place(entry) for each present entry of the tables, in image order.
template <typename Place>
void for_each_placed(const std::vector<FlashTable>& tables, const sBITMAP* const* table, Place place) {
  for (const FlashTable& t : tables)
    for (size_t entry = t.first_entry; entry < size_t{t.first_entry} + t.count; ++entry)
      if (table[entry]) place(entry);
}

}  // namespace

std::vector<uint32_t> flash_offsets(const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                                    size_t table_length) {
  std::vector<uint32_t> offsets(table_length, kNoOffset);
  uint32_t next = 0;
  for_each_placed(tables, table, [&](size_t entry) {
    offsets[entry] = next;
    next = flash_offset_after(next, table[entry]);
  });
  return offsets;
}

std::vector<const sBITMAP*> flash_image_bitmaps(const std::vector<FlashTable>& tables, const sBITMAP* const* table) {
  std::vector<const sBITMAP*> bitmaps;
  for_each_placed(tables, table, [&](size_t entry) { bitmaps.push_back(table[entry]); });
  return bitmaps;
}

}  // namespace catalogue
