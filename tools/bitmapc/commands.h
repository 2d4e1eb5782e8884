// The subcommands of bitmapc, the build's bitmap converter. Each takes its
// operands (main checks how many), reports failures as one line on standard
// error and returns the exit status: 0 done, 1 failed.
#pragma once

#include <cstdint>

#include "manifest.h"

namespace bitmapc {

// pixels MANIFEST RUN OUT: the run's PNGs as one RGB565 blob, high byte first.
int pixels_command(char** operands);

// sources MANIFEST BLOB_DIR OUT_DIR: the catalogue's C++ records and the
// assembler files that embed the blobs.
int sources_command(char** operands);

// The bytes of each bitmap of the run, as its record counts them
// (bitmap_byte_size).
uint32_t bitmap_bytes(const toolkit::Run& run);

}  // namespace bitmapc
