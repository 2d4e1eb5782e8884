// bitmapc: turns the catalogue's PNG art into the data the program is built with.
//
//   bitmapc pixels MANIFEST RUN OUT       one run's pixel arrays, RGB565 high byte first
//   bitmapc sources MANIFEST BLOB_DIR OUT_DIR
//                                         records, bitmap_table and the assembler
//                                         files that embed the blobs
#include <cstdio>
#include <cstring>

#include "commands.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "pixels") == 0) return bitmapc::pixels_command(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "sources") == 0) return bitmapc::sources_command(argc - 2, argv + 2);
  std::fprintf(stderr,
               "usage: bitmapc pixels MANIFEST RUN OUT\n"
               "       bitmapc sources MANIFEST BLOB_DIR OUT_DIR\n");
  return 2;
}
