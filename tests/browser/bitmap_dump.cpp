// Prints every bitmap the program carries, for the page's browser test to
// hold the page against: one line each, in catalogue order,
//   <run> <table entry, or - outside the table> <width> <height> <bytes in hex>
// straight from the records, without the catalogue command's code.
#include <cstdio>

#include "bitmap_runs.h"

int main() {
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const sBITMAP_RUN& run = bitmap_runs[r];
    for (unsigned i = 0; i < run.count; ++i) {
      const sBITMAP& b = run.records[i];
      if (run.first_entry == BITMAP_NOT_IN_TABLE) std::printf("%s - %d %d ", run.name, b.width, b.height);
      else std::printf("%s %u %d %d ", run.name, run.first_entry + i, b.width, b.height);
      for (size_t k = 0; k < size_t{b.width} * b.height * 2u; ++k) std::printf("%02x", b.pixels[k]);
      std::putchar('\n');
    }
  }
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
