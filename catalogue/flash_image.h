// The flash image as `catalogue flash-image` writes it and the header, `list`
// and the catalogue page describe it, worked out here only: the pixel arrays
// of the tables' entries in the order printed, from offset 0 with nothing
// between them, then the trailer that lets a firmware recognise the image at
// boot from a few bytes. The trailer is called "record" wherever the user
// reads it (`list`, the header's FLASH_IMAGE_RECORD_*, the reports, the
// flashrom layout), as it always has been; in the code, a record is an
// sBITMAP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap_runs.h"

namespace catalogue {

// The trailer: "BITMAPS" and its format number 1, then the
// length of the bytes before it and their standard CRC-32 (as zlib's crc32),
// both 32-bit little-endian, the byte order of the device's CPU.
constexpr size_t kTrailerSize = 16;
constexpr char kTrailerMagic[8] = {'B', 'I', 'T', 'M', 'A', 'P', 'S', 1};
// It starts on a multiple of 4 bytes, so that a firmware can read its
// numbers in place from memory-mapped flash; the bytes that pad the pixel
// arrays up to it (two at most, as every array has an even length) are
// 0xFF, what erased flash reads.
constexpr uint32_t kTrailerAlignment = 4;
constexpr uint8_t kPadByte = 0xFF;

// One stretch of the image, in order: a bitmap's pixel array, the padding
// before the trailer, or the trailer.
struct ImageSegment {
  std::string name;       // "195 smoke:10", "padding", "record" (the trailer)
  const sBITMAP* bitmap;  // a bitmap's record; null for the padding and the trailer
  uint32_t offset;
  const uint8_t* bytes;
  uint32_t size;
};

// The length of the image these segments make up, every byte: where the
// last of them ends.
uint64_t image_length(const std::vector<ImageSegment>& segments);

class FlashImage {
 public:
  // The image of the tables that `catalogue table` prints for these runs
  // (flash_tables) over the table's table_length entries.
  FlashImage(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table, size_t table_length);
  // The segments point into the trailer this object holds: move it, never copy.
  FlashImage(const FlashImage&) = delete;
  FlashImage& operator=(const FlashImage&) = delete;
  FlashImage(FlashImage&&) = default;

  const std::vector<ImageSegment>& segments() const { return segments_; }
  uint64_t length() const;                   // every byte, the trailer's too
  uint32_t trailer_offset() const { return segments_.back().offset; }
  uint32_t crc32() const { return crc32_; }  // of the bytes before the trailer
  const uint8_t* trailer() const { return trailer_.data(); }
  // Where the pixel array of bitmap_table[entry] starts; kNoOffset when no
  // table places it.
  uint32_t offset_of(size_t entry) const;
  // Asks for the pages of the bitmaps' bytes, which the system maps from the
  // program's file on first touch, in one call a segment: a third of the
  // cost of faulting them in one by one while they are written. Only a
  // hint: where the system has no such advice, the write faults them in.
  void fault_in() const;

 private:
  std::vector<ImageSegment> segments_;
  std::vector<uint8_t> trailer_;  // on the heap: a move leaves the segments' pointer valid
  std::vector<uint32_t> offsets_;
  uint32_t crc32_ = 0;
};

}  // namespace catalogue
