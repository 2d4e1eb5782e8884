#include "flash_layout.h"

#include <algorithm>

#include "flash_table.h"

namespace catalogue {

std::vector<FlashTable> flash_tables(const sBITMAP_RUN* runs, size_t run_count) {
  std::vector<FlashTable> tables;
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    if (run.first_entry == BITMAP_NOT_IN_TABLE || run.count == 0) continue;
    if (run.count <= kMaxTableEntries) {
      tables.push_back({run.name, run.first_entry, static_cast<uint8_t>(run.count)});
      continue;
    }
    unsigned part = 1;
    for (unsigned done = 0; done < run.count; done += kMaxTableEntries, ++part) {
      const unsigned count = std::min(kMaxTableEntries, run.count - done);
      tables.push_back({std::string(run.name) + "_part" + std::to_string(part),
                        static_cast<uint16_t>(run.first_entry + done), static_cast<uint8_t>(count)});
    }
  }
  return tables;
}

namespace {

// Calls place(entry) for each present entry of the tables, in image order.
template <typename Place>
void for_each_placed(const std::vector<FlashTable>& tables, const sBITMAP* const* table, size_t table_length,
                     Place place) {
  for (const FlashTable& t : tables)
    for (size_t entry = t.first_entry; entry < size_t{t.first_entry} + t.count && entry < table_length; ++entry)
      if (table[entry]) place(entry);
}

}  // namespace

std::vector<uint32_t> flash_offsets(const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                                    size_t table_length) {
  std::vector<uint32_t> offsets(table_length, kNoOffset);
  uint32_t next = 0;
  for_each_placed(tables, table, table_length, [&](size_t entry) {
    offsets[entry] = next;
    next = flash_offset_after(next, table[entry]);
  });
  return offsets;
}

std::vector<const sBITMAP*> flash_image_bitmaps(const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                                                size_t table_length) {
  std::vector<const sBITMAP*> bitmaps;
  for_each_placed(tables, table, table_length, [&](size_t entry) { bitmaps.push_back(table[entry]); });
  return bitmaps;
}

std::vector<FlashSegment> flash_image_segments(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                                               size_t table_length) {
  std::vector<std::string> names(table_length);
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    if (run.first_entry == BITMAP_NOT_IN_TABLE) continue;
    for (unsigned frame = 0; frame < run.count && run.first_entry + frame < table_length; ++frame)
      names[run.first_entry + frame] =
          std::to_string(run.first_entry + frame) + " " + run.name + ":" + std::to_string(frame);
  }
  std::vector<FlashSegment> segments;
  for_each_placed(flash_tables(runs, run_count), table, table_length, [&](size_t entry) {
    const sBITMAP* b = table[entry];
    segments.push_back({names[entry], b->pixels, bitmap_byte_size(b), b});
  });
  return segments;
}

}  // namespace catalogue
