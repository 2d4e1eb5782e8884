// `catalogue flash-image --since OLD --layout LAYOUT`: where the image about
// to be written differs from the one the chip was given last, in whole erase
// blocks, as a flashrom layout. flashrom, told those regions, reads, writes
// and verifies them alone instead of reading the whole chip twice.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "output_file.h"

namespace catalogue {

// A run of whole erase blocks, as a layout names it: r0, r1, ... in order,
// and "record" for the blocks the image's trailer lies in, a region of its
// own so that reading it alone tells whether the chip holds OLD.
struct LayoutRegion {
  std::string name;
  uint64_t start, end;  // end excluded
};

// Why an erase block of block bytes cannot cut an image of length bytes
// (padded, as written): it must be a power of two and divide length. Empty
// when it can.
std::string erase_block_refusal(uint64_t block, uint64_t length);

// Compares OLD, the file at old_path ("-": standard input), with the image
// in pieces from offset 0, erase block by erase block. When any block
// differs, the regions cover the blocks that do and those of the trailer
// (from trailer_start, trailer_size bytes): a new trailer must never stand over
// old pixels. old_length is OLD's length, read no further than one byte past
// the image. False, with error "<path>: <reason>", when OLD cannot be read.
bool changed_regions(const std::string& old_path, const std::vector<toolkit::Piece>& image, uint64_t block,
                     uint64_t trailer_start, uint64_t trailer_size, std::vector<LayoutRegion>& regions,
                     uint64_t& old_length, std::string& error);

// The layout file: "start:end name", hexadecimal, both ends included.
std::string layout_text(const std::vector<LayoutRegion>& regions);

// What the regions mean, to out: how many, the flashrom command that writes
// them from file and verifies them alone, and the bytes that moves against
// the whole chip of length bytes; or that there is nothing to write.
void print_reflash(std::FILE* out, const std::vector<LayoutRegion>& regions, uint64_t block, uint64_t length,
                   const std::string& layout_path, const std::string& file, const std::string& old_path);

}  // namespace catalogue
