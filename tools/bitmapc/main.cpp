// bitmapc: turns the catalogue's PNG art into the data the program is built with.
//
//   bitmapc pixels MANIFEST RUN OUT       one run's pixel arrays, RGB565 high byte first
//   bitmapc sources MANIFEST BLOB_DIR OUT_DIR
//                                         records, bitmap_table and the assembler
//                                         files that embed the blobs
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
  const char* name;
  int operands;
  const char* usage;
  int (*run)(char** operands);
};

const Command kCommands[] = {
    {"pixels", 3, "bitmapc pixels MANIFEST RUN OUT", bitmapc::pixels_command},
    {"sources", 3, "bitmapc sources MANIFEST BLOB_DIR OUT_DIR", bitmapc::sources_command},
};

}  // namespace

int main(int argc, char** argv) {
  for (const Command& c : kCommands) {
    if (argc < 2 || std::strcmp(argv[1], c.name) != 0) continue;
    if (argc - 2 == c.operands) return c.run(argv + 2);
    std::fprintf(stderr, "usage: %s\n", c.usage);
    return 2;
  }
  std::fprintf(stderr, "usage: %s\n       %s\n", kCommands[0].usage, kCommands[1].usage);
  return 2;
}
