// The flash image as `catalogue flash-image` writes it and the header, `list`
// and the catalogue page describe it, worked out here only: the pixel arrays
// of the tables' entries in the order printed, from offset 0 with nothing
// between them, then the trailer that lets a firmware recognise the image at
// boot from a few bytes, and, written for a chip of a given size, erased
// flash up to its end. The user reads the trailer as "record" (`list`, the
// header's FLASH_IMAGE_RECORD_*, the reports, the flashrom layout); in the
// code, a record is an sBITMAP.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "bitmap_runs.h"
#include "output_file.h"

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
// before the trailer, the trailer, or erased flash after it.
struct ImageSegment {
  std::string name;       // "195 smoke:10", "padding", "record" (the trailer), "erased"
  const sBITMAP* bitmap;  // a bitmap's record; null for every other segment
  uint32_t offset;
  const uint8_t* bytes;
  uint32_t size;
};

// Follows the image's segments along bytes given in order from offset 0 (a
// dump of the chip, the image written before), in blocks of any size, no
// further than the image's end: hands visit each stretch of a block that
// lies within one segment, in order.
class ImageWalker {
 public:
  // A stretch of bytes given along the image that lies within one of its
  // segments, beside the image's own bytes there.
  struct Stretch {
    size_t segment;        // its index among the segments
    uint32_t at;           // where the stretch starts in the segment
    uint64_t offset;       // and in the image
    const uint8_t* given;  // size bytes given
    const uint8_t* image;  // the image's size bytes
    size_t size;
  };

  explicit ImageWalker(const std::vector<ImageSegment>& segments) : segments_(segments) {}

  template <typename Visit>
  void feed(const uint8_t* data, size_t size, Visit&& visit) {
    while (size > 0) {
      skip_whole();
      const ImageSegment& s = segments_[segment_];
      const size_t n = std::min<size_t>(size, s.size - at_);
      visit(Stretch{segment_, at_, uint64_t{s.offset} + at_, data, s.bytes + at_, n});
      at_ += static_cast<uint32_t>(n);
      taken_ += n;
      data += n;
      size -= n;
    }
    skip_whole();
  }

  uint64_t taken() const { return taken_; }  // bytes given so far
  // The first segment not yet given whole: segments.size() once all are.
  size_t segment() const { return segment_; }

 private:
  void skip_whole() {
    while (segment_ < segments_.size() && at_ == segments_[segment_].size) {
      ++segment_;
      at_ = 0;
    }
  }

  const std::vector<ImageSegment>& segments_;
  uint64_t taken_ = 0;
  size_t segment_ = 0;
  uint32_t at_ = 0;
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

  // The image as a programmer writes it to a chip of size bytes (4096M at
  // most, as offsets are 32-bit): erased flash, every bit set, from the
  // trailer's end to the chip's. False, changing nothing, when the image is
  // longer than the chip.
  bool fill_chip(uint64_t size);

  const std::vector<ImageSegment>& segments() const { return segments_; }
  uint64_t length() const { return image_length(segments_); }  // every byte written
  uint32_t trailer_offset() const { return segments_[trailer_segment_].offset; }
  uint32_t crc32() const { return crc32_; }  // of the bytes before the trailer
  const uint8_t* trailer() const { return trailer_.data(); }
  // The bytes from start to end (excluded, as far as the image goes), as
  // pieces for the writer.
  std::vector<toolkit::Piece> pieces(uint64_t start = 0,
                                     uint64_t end = std::numeric_limits<uint64_t>::max()) const;
  // Where the pixel array of bitmap_table[entry] starts; none when no table
  // places it.
  std::optional<uint32_t> offset_of(size_t entry) const;

 private:
  std::vector<ImageSegment> segments_;
  std::vector<uint8_t> trailer_;  // on the heap: a move leaves the segments' pointer valid
  size_t trailer_segment_ = 0;
  std::vector<std::optional<uint32_t>> offsets_;
  uint32_t crc32_ = 0;
};

}  // namespace catalogue
