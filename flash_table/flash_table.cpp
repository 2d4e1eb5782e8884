#include "flash_table.h"

#include <cinttypes>
#include <cstdio>

uint32_t flash_offset = 0;

void print_flash_table_to(FILE* out, const char* name, const sBITMAP* const* entries, uint8_t count) {
  std::fprintf(out, "FLASH_sBITMAP flash_%s[%d] = {\n", name, count);
  for (unsigned index = 0; index < count; ++index) {
    const sBITMAP* entry = entries[index];
    if (!entry) continue;
    const uint32_t offset = flash_offset;
    flash_offset = flash_offset_after(offset, entry);
    std::fprintf(out, "%d, %d, 0x%" PRIx32 ",\n", entry->width, entry->height, offset);
  }
  std::fputs("};\n", out);
}

void print_flash_table(const char* name, const sBITMAP* const* entries, uint8_t count) {
  print_flash_table_to(stdout, name, entries, count);
}
