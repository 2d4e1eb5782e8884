// Test helper, in a process of its own so that the offsets start at 0:
// prints the first-style digits' flash table argv[1] times on standard
// output, then the offset left behind. With "wrap N", first N entries of
// 255 x 255 go to /dev/null, and then the table "wrap" of one more such
// entry and two digits is printed.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bitmaps.h"
#include "flash_table.h"

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "wrap") == 0) {
    static const sBITMAP big{255, 255, nullptr};  // the printer reads no pixels
    const std::vector<const sBITMAP*> bigs(255, &big);
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (!sink) return 1;
    for (long left = std::strtol(argv[2], nullptr, 10); left > 0; left -= 255)
      print_flash_table_to(sink, "big", bigs.data(), static_cast<uint8_t>(left < 255 ? left : 255));
    std::fclose(sink);
    const sBITMAP* wrap[] = {&big, bitmap_table[140], bitmap_table[141]};
    print_flash_table("wrap", wrap, 3);
  } else {
    const long times = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1;
    for (long i = 0; i < times; ++i) print_flash_table("digits", &bitmap_table[140], 10);
  }
  std::printf("flash_offset 0x%" PRIx32 "\n", flash_offset);
  return 0;
}
