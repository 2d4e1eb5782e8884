// `catalogue flash-image --since OLD --layout LAYOUT`: where the image about
// to be written differs from the one the chip was given last, in whole erase
// blocks, as a flashrom layout. flashrom, told those regions, reads, writes
// and verifies them alone instead of reading the whole chip twice.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "flash_image.h"

namespace catalogue {

// A run of whole erase blocks, as a layout names it: r0, r1, ... in order,
// and "record" for the blocks the image's trailer lies in, a region of its
// own so that reading it alone tells whether the chip holds OLD.
struct LayoutRegion {
  std::string name;
  uint64_t start, end;  // end excluded
};

constexpr char kRecordRegion[] = "record";
// What the file of OLD's bytes over the record's region is called beside
// the layout (region_file).
constexpr char kOldRecord[] = "old-record";

// Why an erase block of block bytes cannot cut an image of length bytes
// (padded, as written): it must be a power of two and divide length. Empty
// when it can.
std::string erase_block_refusal(uint64_t block, uint64_t length);

// Compares OLD, the file at old_path ("-": standard input), with the image
// as written, erase block by erase block. When any block differs, the
// regions cover the blocks that do and those of the trailer: a new trailer
// must never stand over old pixels. old_record gets OLD's bytes over the trailer's blocks (as far
// as OLD goes); old_length is OLD's length, read no further than one byte
// past the image. False, with error "<path>: <reason>", when OLD cannot be
// read.
bool changed_regions(const std::string& old_path, const FlashImage& image, uint64_t block,
                     std::vector<LayoutRegion>& regions, std::vector<uint8_t>& old_record, uint64_t& old_length,
                     std::string& error);

// The layout file: "start:end name", hexadecimal, both ends included, the
// regions placed chip_offset bytes into the chip.
std::string layout_text(const std::vector<LayoutRegion>& regions, uint64_t chip_offset);

// The file beside the layout that holds a region's bytes for flashrom's
// -i NAME:FILE: "LAYOUT.NAME".
std::string region_file(const std::string& layout_path, const std::string& name);

// What the regions mean, to out: how many, then the flashrom commands to
// run in order, each once the one before succeeded: confirm that the chip
// holds OLD's record (from the kOldRecord file), erase the record's region,
// write the other regions, write the record's region alone; then the bytes
// that moves against the whole chip of length bytes. Or that there is
// nothing to write. With region_files, FILE is not the whole chip, and the
// regions come from their region_file.
void print_reflash(std::FILE* out, const std::vector<LayoutRegion>& regions, uint64_t block, uint64_t length,
                   const std::string& layout_path, const std::string& file, const std::string& old_path,
                   bool region_files);

}  // namespace catalogue
