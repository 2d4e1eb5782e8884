#include "listing.h"

#include <zlib.h>

#include <cinttypes>
#include <cstdio>

#include "command_line.h"

namespace catalogue {

std::string BitmapRow::name_text() const { return bitmap_name(*run, index_in_run); }

std::string BitmapRow::entry_text() const { return entry ? std::to_string(*entry) : "-"; }

std::string BitmapRow::size_text() const {
  return std::to_string(bitmap->width) + "x" + std::to_string(bitmap->height);
}

namespace {

std::string offset_text(std::optional<uint32_t> offset) {
  if (!offset) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIx32, *offset);
  return text;
}

std::string crc32_text(uint32_t crc32) {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIx32, crc32);
  return text;
}

}  // namespace

std::string BitmapRow::offset_text() const { return catalogue::offset_text(offset); }

std::string BitmapRow::crc32_text() const { return catalogue::crc32_text(crc32); }

std::vector<BitmapRow> bitmap_rows(const sBITMAP_RUN* runs, size_t run_count, const FlashImage& image) {
  std::vector<BitmapRow> rows;
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    for (unsigned i = 0; i < run.count; ++i) {
      BitmapRow row{&run, i, &run.records[i], std::nullopt, bitmap_byte_size(&run.records[i]), std::nullopt,
                    run.crc32s[i]};
      if (run.first_entry != BITMAP_NOT_IN_TABLE) {
        row.entry = run.first_entry + i;
        row.offset = image.offset_of(*row.entry);
      }
      rows.push_back(row);
    }
  }
  return rows;
}

std::vector<SegmentRow> other_segment_rows(const FlashImage& image) {
  std::vector<SegmentRow> rows;
  for (const ImageSegment& s : image.segments())
    if (!s.bitmap)
      rows.push_back({s.name, s.size, s.offset, offset_text(s.offset),
                      crc32_text(static_cast<uint32_t>(::crc32(0, s.bytes, s.size)))});
  return rows;
}

std::string bitmap_name(const sBITMAP_RUN& run, unsigned frame) { return std::string(run.name) + ":" + std::to_string(frame); }

const sBITMAP* find_bitmap(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                           size_t table_length, const std::string& text, std::string& reason) {
  unsigned number = 0;
  if (parse_below(text, static_cast<unsigned>(table_length), number)) return table[number];
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  std::vector<std::string> names;
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    names.push_back(run.name);
    if (name != run.name) continue;  // the manifest gives every run at least one bitmap
    if (colon == std::string::npos ? run.count == 1 : parse_below(std::string_view(text).substr(colon + 1), run.count, number))
      return &run.records[colon == std::string::npos ? 0 : number];
    reason = run.count == 1 ? "a run of 1 bitmap: give it as " + name + " or " + bitmap_name(run, 0)
                            : "a run of " + std::to_string(run.count) + " bitmaps: give one as " + bitmap_name(run, 0) +
                                  " to " + bitmap_name(run, run.count - 1u);
    return nullptr;
  }
  // A near miss of a run's name, with the frame as given.
  const std::string near = closest_name(name, names);
  reason = !near.empty() ? "no such bitmap; did you mean " + near + (colon == std::string::npos ? "" : text.substr(colon)) +
                               "? (see catalogue export --help)"
                         : "no such bitmap: give a table entry, 0 to " + std::to_string(table_length - 1) +
                               ", or a run as 'catalogue list' names it, with :FRAME from 0 (see catalogue export --help)";
  return nullptr;
}

}  // namespace catalogue
