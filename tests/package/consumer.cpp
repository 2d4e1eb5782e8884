// Prints a flash table of the second-style digits through the installed
// printer, then what the tables made in its build say of the same digits.
#include <cstdio>

#include "bitmaps.h"
#include "flash_table.h"
#include "flash_tables.h"

int main() {
  print_flash_table("digits", &bitmap_table[269], 10);
  std::printf("%u entries; digits_cool[9] at 0x%lx\n", static_cast<unsigned>(FLASH_TABLE_ENTRIES),
              static_cast<unsigned long>(flash_digits_cool[9].offset));
  return 0;
}
