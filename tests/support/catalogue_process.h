// The catalogue command as a process, the way its tests run it. A test
// executable that includes this names the program with CATALOGUE_PATH.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bitmaps.h"
#include "process.h"

#ifndef CATALOGUE_PATH
#error "CATALOGUE_PATH must name the catalogue executable"
#endif

namespace testing_support {

inline ProcessResult run_catalogue(std::vector<std::string> args, const ProcessOptions& options = {}) {
  args.insert(args.begin(), CATALOGUE_PATH);
  return run_process(args, options);
}
inline ProcessResult run_catalogue(std::vector<std::string> args, const std::string& cwd) {
  return run_catalogue(std::move(args), in_dir(cwd));
}

// What a test leaves in a file the program is to replace or keep.
inline const std::string kOld = "old contents\n";

// Two bytes a pixel, worked out here rather than by the rule under test.
inline size_t byte_size(const sBITMAP* b) { return size_t{b->width} * b->height * 2; }
// The bytes the program carries for b.
inline std::string pixels(const sBITMAP* b) { return {reinterpret_cast<const char*>(b->pixels), byte_size(b)}; }

// The flash image as the README describes it, made here from the pixels the
// program carries: every entry's bytes in table order, then the record,
// "BITMAPS", 1, and the length and CRC-32 of those bytes, little-endian
// (their length is a multiple of 4, so no padding comes between).
inline std::string expected_flash_image() {
  std::string bytes;
  for (const sBITMAP* b : bitmap_table) bytes += pixels(b);
  const uint32_t crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  std::string record = "BITMAPS\x01";
  for (uint32_t value : {static_cast<uint32_t>(bytes.size()), crc})
    for (int i = 0; i < 4; ++i) record += static_cast<char>(value >> (8 * i));
  return bytes + record;
}

}  // namespace testing_support
