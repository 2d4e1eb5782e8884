#include "page.h"

#include <vector>

#include "listing.h"
#include "preview.h"

namespace catalogue {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void append_base64(std::string& out, const uint8_t* bytes, size_t size) {
  size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const unsigned v = unsigned{bytes[i]} << 16 | unsigned{bytes[i + 1]} << 8 | bytes[i + 2];
    for (int shift : {18, 12, 6, 0}) out += kBase64[(v >> shift) & 63];
  }
  if (const size_t left = size - i) {
    const unsigned v = unsigned{bytes[i]} << 16 | (left == 2 ? unsigned{bytes[i + 1]} << 8 : 0u);
    out += kBase64[v >> 18];
    out += kBase64[(v >> 12) & 63];
    out += left == 2 ? kBase64[(v >> 6) & 63] : '=';
    out += '=';
  }
}

// A JSON string that is also safe inside a script element: no "</script>"
// can come out of a name.
void append_string(std::string& out, const std::string& text) {
  static const char hex[] = "0123456789abcdef";
  out += '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&') {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += ch;
    }
  }
  out += '"';
}

void append_field(std::string& out, const char* name, const std::string& text) {
  out += '"';
  out += name;
  out += "\":";
  append_string(out, text);
}

void append_number(std::string& out, const char* name, unsigned long long value) {
  out += '"';
  out += name;
  out += "\":" + std::to_string(value);
}

// A stretch of the flash image: what the map's segments are drawn from.
void append_segment(std::string& out, const std::string& name, unsigned long long bytes, unsigned long long offset,
                    const std::string& offset_text) {
  out += '{';
  append_field(out, "name", name);
  out += ',';
  append_number(out, "bytes", bytes);
  out += ',';
  append_number(out, "offset", offset);
  out += ',';
  append_field(out, "offsetText", offset_text);
  out += '}';
}

}  // namespace

std::string catalogue_page(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                           size_t table_length) {
  const FlashImage image(runs, run_count, table, table_length);
  const std::vector<BitmapRow> rows = bitmap_rows(runs, run_count, image);
  unsigned long long pixel_bytes = 0;
  for (const BitmapRow& row : rows) pixel_bytes += row.bytes;
  std::string page(kPageHead, kPageHeadSize);
  page.reserve(kPageHeadSize + kPageTailSize + pixel_bytes / 3 * 4 + 100 * rows.size() + 4096);
  // The head, before the runs: all that the map of the image and the summary
  // need, so that the page draws them whole from its first bytes. Each run's
  // stretch of the image (the tables place the runs in their order, so these
  // come in image order), the segments after the pixel arrays (the padding,
  // if any, and the trailer), and the runs outside the image.
  struct Stretch {
    const BitmapRow* first;  // the run's first bitmap in the image
    unsigned long long bytes;
  };
  std::vector<Stretch> stretches;
  std::vector<const sBITMAP_RUN*> outside;
  for (size_t r = 0, next = 0; r < run_count; next += runs[r++].count) {
    Stretch s{nullptr, 0};
    for (size_t i = next; i < next + runs[r].count; ++i) {
      if (rows[i].offset == kNoOffset) continue;  // absent from the table
      if (!s.first) s.first = &rows[i];
      s.bytes += rows[i].bytes;
    }
    if (s.first) stretches.push_back(s);
    else outside.push_back(&runs[r]);
  }
  page += '{';
  append_number(page, "imageLength", image.length());
  page += ',';
  append_number(page, "runCount", run_count);
  page += ',';
  append_number(page, "bitmapCount", rows.size());
  page += ",\"imageRuns\":[";
  for (const Stretch& s : stretches) {
    if (&s != &stretches.front()) page += ',';
    append_segment(page, s.first->run->name, s.bytes, s.first->offset, s.first->offset_text());
  }
  page += "],\"imageEnd\":[";
  bool first = true;
  for (const SegmentRow& s : other_segment_rows(image)) {
    if (!first) page += ',';
    first = false;
    append_segment(page, s.name, s.bytes, s.offset, s.offset_text);
  }
  page += "],\"outside\":[";
  for (const sBITMAP_RUN* run : outside) {
    if (run != outside.front()) page += ',';
    append_string(page, run->name);
  }
  page += "],\"runs\":[";
  size_t next = 0;  // the first row of the run
  for (size_t r = 0; r < run_count; ++r) {
    const sBITMAP_RUN& run = runs[r];
    const PreviewStyle style = preview_style(run);
    page += r ? ",{" : "{";
    append_field(page, "name", run.name);
    page += style.animated ? ",\"animated\":true," : ",\"animated\":false,";
    append_number(page, "fps", style.fps);
    page += ',';
    append_number(page, "zoom", static_cast<unsigned long long>(style.scale));
    page += ",\"bitmaps\":[";
    for (unsigned i = 0; i < run.count; ++i) {
      const BitmapRow& row = rows[next + i];
      page += i ? ",{" : "{";
      append_field(page, "entry", row.entry_text());
      page += ',';
      append_number(page, "width", row.bitmap->width);
      page += ',';
      append_number(page, "height", row.bitmap->height);
      page += ',';
      append_field(page, "size", row.size_text());
      page += ',';
      append_number(page, "bytes", row.bytes);
      page += ',';
      if (row.offset == kNoOffset) page += "\"offset\":null";
      else append_number(page, "offset", row.offset);
      page += ',';
      append_field(page, "offsetText", row.offset_text());
      page += ',';
      append_field(page, "crc32", row.crc32_text());
      page += ",\"pixels\":\"";
      append_base64(page, row.bitmap->pixels, row.bytes);
      page += "\"}";
    }
    next += run.count;
    page += "]}";
  }
  page += "]}";
  page.append(kPageTail, kPageTailSize);
  return page;
}

}  // namespace catalogue
