// `catalogue verify`: whether a dump of the flash chip (a read-back, a
// device) holds the flash image from offset 0, and where it does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "flash_image.h"

namespace catalogue {

// A segment of the image that the dump holds otherwise. A bitmap is
// compared pixel by pixel (two bytes, high first), any other segment byte by
// byte.
struct SegmentDifference {
  size_t segment;  // index in the segments compared against
  uint32_t count;  // pixels (bytes) that differ
  uint32_t first;  // the first of them, from the segment's start
  uint16_t dump_value, image_value;
};

// Compares a dump, given in blocks as read_in_blocks reads them, with the
// image's segments from offset 0.
class DumpComparer {
 public:
  explicit DumpComparer(const std::vector<ImageSegment>& segments);

  // Compares the next size bytes of the dump, no more than remaining(). Every
  // block but the last has an even size, and every pixel array starts at an
  // even offset (flash_image.h), so no pixel lies across two blocks; a last
  // byte without its pair is where the dump ends.
  void feed(const uint8_t* data, size_t size);

  uint64_t length() const { return length_; }                        // the image's
  uint64_t remaining() const { return length_ - walker_.taken(); }  // bytes of the image not yet given
  const std::vector<SegmentDifference>& differences() const { return differences_; }
  // The first segment the dump does not hold whole: segments.size() once it holds them all.
  size_t first_cut() const { return walker_.segment(); }

 private:
  const std::vector<ImageSegment>& segments_;
  const uint64_t length_;
  ImageWalker walker_;
  std::vector<SegmentDifference> differences_;
};

// Reads the file at path ("-": standard input, called so in messages) in
// blocks of 64 KiB until its end or most bytes, giving each block to take
// once it is full: only the last may be shorter, whatever the reads return.
// False, with error set to "<path>: <reason>", when it cannot be opened or a
// read fails.
bool read_in_blocks(const std::string& path, uint64_t most, const std::function<void(const uint8_t*, size_t)>& take,
                    std::string& error);

// Reads the dump at path ("-": standard input) as far as the image goes and
// prints the outcome to out: one line when it holds the image; otherwise a
// line per segment that differs, one for a dump that ends early, and a total.
// Returns 0 when the dump holds the image, 1 when it does not, and -1 when
// it cannot be read, with error set to "<path>: <reason>".
int verify_dump(const std::string& path, const std::vector<ImageSegment>& segments, std::FILE* out,
                std::string& error);

}  // namespace catalogue
