// Test helper: prints the first-style digits' flash table argv[1] times on
// standard output, in a process of its own so that the offsets start at 0,
// then the offset left behind.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "bitmaps.h"
#include "flash_table.h"

int main(int argc, char** argv) {
  const long times = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1;
  for (long i = 0; i < times; ++i) print_flash_table("digits", &bitmap_table[140], 10);
  std::printf("flash_offset 0x%" PRIx32 "\n", flash_offset);
  return 0;
}
