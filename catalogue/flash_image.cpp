#include "flash_image.h"

#include <zlib.h>

#include <algorithm>

#include "flash_layout.h"
#include "flash_table.h"
#include "names.h"

namespace catalogue {

namespace {

const uint8_t kPadding[kTrailerAlignment] = {kPadByte, kPadByte, kPadByte, kPadByte};

void put_le32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The run that places bitmap_table[entry]: every entry of the image's
// tables has one.
const sBITMAP_RUN& run_of(const sBITMAP_RUN* runs, size_t entry) {
  while (runs->first_entry == BITMAP_NOT_IN_TABLE || entry < runs->first_entry ||
         entry >= size_t{runs->first_entry} + runs->count)
    ++runs;
  return *runs;
}

}  // namespace

FlashImage::FlashImage(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table, size_t table_length)
    : trailer_(kTrailerSize), offsets_(table_length) {
  uint32_t next = 0;
  // The CRC-32 of the whole from those of its bitmaps, which the build
  // worked out: no pass over the 6 MB.
  uLong crc = ::crc32(0, nullptr, 0);
  for (size_t entry : flash_image_entries(flash_tables(runs, run_count), table)) {
    const sBITMAP* b = table[entry];
    const sBITMAP_RUN& run = run_of(runs, entry);
    const size_t frame = entry - run.first_entry;
    // "195 smoke:10": the table entry and the run with its frame, the two
    // names `list` shows and `export` takes for the bitmap.
    segments_.push_back({std::to_string(entry) + " " + bitmap_name(run, static_cast<unsigned>(frame)), b, next,
                         b->pixels, bitmap_byte_size(b)});
    crc = ::crc32_combine(crc, run.crc32s[frame], static_cast<z_off_t>(bitmap_byte_size(b)));
    offsets_[entry] = next;
    next = flash_offset_after(next, b);
  }
  if (const uint32_t pad = (kTrailerAlignment - next % kTrailerAlignment) % kTrailerAlignment) {
    segments_.push_back({"padding", nullptr, next, kPadding, pad});
    crc = ::crc32(crc, kPadding, pad);
    next += pad;
  }
  crc32_ = static_cast<uint32_t>(crc);
  std::copy(kTrailerMagic, kTrailerMagic + sizeof kTrailerMagic, trailer_.begin());
  put_le32(&trailer_[8], next);
  put_le32(&trailer_[12], crc32_);
  trailer_segment_ = segments_.size();
  segments_.push_back({"record", nullptr, next, trailer_.data(), kTrailerSize});
}

bool FlashImage::fill_chip(uint64_t size) {
  // Erased NOR flash, a stretch the writer takes at a time.
  static const std::vector<uint8_t> erased(64 * 1024, kPadByte);
  uint64_t at = length();
  if (at > size) return false;
  for (; at < size; at += segments_.back().size)
    segments_.push_back({"erased", nullptr, static_cast<uint32_t>(at), erased.data(),
                         static_cast<uint32_t>(std::min<uint64_t>(size - at, erased.size()))});
  return true;
}

uint64_t image_length(const std::vector<ImageSegment>& segments) {
  return uint64_t{segments.back().offset} + segments.back().size;
}

std::vector<toolkit::Piece> FlashImage::pieces(uint64_t start, uint64_t end) const {
  std::vector<toolkit::Piece> pieces;
  for (const ImageSegment& s : segments_) {
    const uint64_t from = std::max<uint64_t>(start, s.offset);
    const uint64_t to = std::min<uint64_t>(end, uint64_t{s.offset} + s.size);
    if (from < to) pieces.push_back({s.bytes + (from - s.offset), static_cast<size_t>(to - from)});
  }
  return pieces;
}

std::optional<uint32_t> FlashImage::offset_of(size_t entry) const {
  return entry < offsets_.size() ? offsets_[entry] : std::nullopt;
}

}  // namespace catalogue
