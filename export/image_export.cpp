// image_export: writes image data from the catalogue to image_data.bin in the
// current directory and reports the outcome.
//
// The file holds, with no header and nothing between the blocks, pixel bytes
// exactly as the device stores them (RGB565, high byte first, row-major):
//   offset 0, 216 bytes: the second-style digit 0, all of it
//   offset 216, 8 bytes: the first four pixels of the second-style digit 9
// Success prints "File write success: 216 bytes", the count of the first
// write, and exits 0. A failure prints "fopen error: <reason>" or
// "fwrite error: <reason>" on standard error and exits 1; bytes already
// written stay in the file. When the file is complete but the success line
// cannot be written, "printf error: <reason>" and exit 1. Arguments are
// accepted and ignored.
#include <cstdio>

#include "bitmaps.h"

namespace {

constexpr int kSecondStyleZero = 269;  // bitmap_table entries
constexpr int kSecondStyleNine = 278;
constexpr size_t kNineBytes = 8;  // the four leftmost pixels of the 9's top row

}  // namespace

int main() {
  std::FILE* file = std::fopen("image_data.bin", "wb");
  if (!file) {
    std::perror("fopen error");
    return 1;
  }

  const sBITMAP* zero = bitmap_table[kSecondStyleZero];
  const size_t zero_bytes = bitmap_byte_size(zero);
  const size_t written = std::fwrite(zero->pixels, 1, zero_bytes, file);
  if (written != zero_bytes) {
    std::perror("fwrite error");
    std::fclose(file);
    return 1;
  }

  const sBITMAP* nine = bitmap_table[kSecondStyleNine];
  if (std::fwrite(nine->pixels, 1, kNineBytes, file) != kNineBytes) {
    std::perror("fwrite error");
    std::fclose(file);
    return 1;
  }

  // The writes above usually only fill the stream's buffer; a full disk or a
  // device error shows when it is flushed or closed, and must not pass for
  // success.
  if (std::fflush(file) != 0) {
    std::perror("fwrite error");
    std::fclose(file);
    return 1;
  }
  if (std::fclose(file) != 0) {
    std::perror("fwrite error");
    return 1;
  }

  // The line is the run's report: if it cannot be written (standard output
  // closed, on a full disk, a pipe nobody reads), the caller cannot learn
  // the outcome, so the run fails, though the file itself is complete.
  if (std::printf("File write success: %zu bytes\n", written) < 0 || std::fflush(stdout) != 0) {
    std::perror("printf error");
    return 1;
  }
  return 0;
}
