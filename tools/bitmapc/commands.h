// The subcommands of bitmapc, the build's bitmap converter. Each takes the
// arguments after its name, reports failures as one line on standard error
// and returns the exit status: 0 done, 1 failed, 2 usage error.
#pragma once

namespace bitmapc {

// pixels MANIFEST RUN OUT: the run's PNGs as one RGB565 blob, high byte first.
int pixels_command(int argc, char** argv);

// sources MANIFEST BLOB_DIR OUT_DIR: the catalogue's C++ records and the
// assembler files that embed the blobs.
int sources_command(int argc, char** argv);

}  // namespace bitmapc
