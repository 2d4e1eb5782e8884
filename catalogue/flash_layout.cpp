#include "flash_layout.h"

#include <algorithm>

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

std::vector<size_t> flash_image_entries(const std::vector<FlashTable>& tables, const sBITMAP* const* table,
                                        size_t table_length) {
  std::vector<size_t> entries;
  for_each_placed(tables, table, table_length, [&](size_t entry) { entries.push_back(entry); });
  return entries;
}

}  // namespace catalogue
