#include "page.h"

#include <zlib.h>

#include <new>
#include <optional>
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

// JSON written as it goes, with the commas its business, not the caller's:
// each member is key() and then a value, each element a value; begin() and
// end() open and close an object ('{', '}') or an array ('[', ']').
class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}
  JsonWriter& begin(char bracket) {
    separate();
    out_ += bracket;
    first_ = true;
    return *this;
  }
  JsonWriter& end(char bracket) {
    out_ += bracket;
    first_ = false;
    return *this;
  }
  JsonWriter& key(const char* name) {
    separate();
    append_string(out_, name);
    out_ += ':';
    first_ = true;
    return *this;
  }
  JsonWriter& text(const std::string& text) {
    separate();
    append_string(out_, text);
    return *this;
  }
  JsonWriter& number(unsigned long long value) {
    separate();
    out_ += std::to_string(value);
    return *this;
  }
  JsonWriter& boolean(bool value) {
    separate();
    out_ += value ? "true" : "false";
    return *this;
  }
  JsonWriter& null() {
    separate();
    out_ += "null";
    return *this;
  }
  // A number, or null where there is none.
  template <typename Number>
  JsonWriter& number_or_null(const std::optional<Number>& value) {
    return value ? number(*value) : null();
  }
  // Bytes as a base64 string.
  JsonWriter& base64(const std::vector<uint8_t>& bytes) {
    separate();
    out_ += '"';
    append_base64(out_, bytes.data(), bytes.size());
    out_ += '"';
    return *this;
  }

 private:
  void separate() {
    if (!first_) out_ += ',';
    first_ = false;
  }
  std::string& out_;
  bool first_ = true;
};

// A stretch of the flash image: what the map's segments are drawn from.
void write_segment(JsonWriter& json, const std::string& name, unsigned long long bytes, unsigned long long offset) {
  json.begin('{').key("name").text(name).key("bytes").number(bytes).key("offset").number(offset).end('}');
}

// The bytes deflated in the zlib format, which the browser's
// DecompressionStream("deflate") unpacks. (The best compression would save 5 %
// of the page for three times the time.)
std::vector<uint8_t> deflated(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    throw std::bad_alloc();  // with room for the worst case, only memory can run out
  out.resize(size);
  return out;
}

// The page's data: each piece a JSON element of its own, which the page
// finds by its class and reads once the parser has moved past it.
void begin_element(std::string& page, const char* kind) {
  page += "<script type=\"application/json\" class=\"";
  page += kind;
  page += "\">";
}
void end_element(std::string& page) { page += "</script>\n"; }

}  // namespace

std::string catalogue_page(const sBITMAP_RUN* runs, size_t run_count, const sBITMAP* const* table,
                           size_t table_length) {
  const FlashImage image(runs, run_count, table, table_length);
  const std::vector<BitmapRow> rows = bitmap_rows(runs, run_count, image);
  std::string page(kPageHead, kPageHeadSize);
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
      if (!rows[i].offset) continue;  // absent from the table
      if (!s.first) s.first = &rows[i];
      s.bytes += rows[i].bytes;
    }
    if (s.first) stretches.push_back(s);
    else outside.push_back(&runs[r]);
  }
  begin_element(page, "catalogue-head");
  JsonWriter head(page);
  head.begin('{').key("imageLength").number(image.length()).key("runCount").number(run_count);
  head.key("bitmapCount").number(rows.size()).key("imageRuns").begin('[');
  for (const Stretch& s : stretches) write_segment(head, s.first->run->name, s.bytes, *s.first->offset);
  head.end(']').key("imageEnd").begin('[');
  for (const SegmentRow& s : other_segment_rows(image)) write_segment(head, s.name, s.bytes, s.offset);
  head.end(']').key("outside").begin('[');
  for (const sBITMAP_RUN* run : outside) head.text(run->name);
  head.end(']').end('}');
  end_element(page);
  // A run: its bitmaps' listing, then all their pixel bytes, one after
  // another in the run's order, deflated together.
  for (size_t r = 0, next = 0; r < run_count; next += runs[r++].count) {
    const sBITMAP_RUN& run = runs[r];
    const PreviewStyle style = preview_style(run);
    std::string pixels;
    begin_element(page, "catalogue-run");
    JsonWriter json(page);
    json.begin('{').key("name").text(run.name).key("animated").boolean(style.animated).key("fps").number(style.fps);
    json.key("zoom").number(static_cast<unsigned long long>(style.scale)).key("bitmaps").begin('[');
    for (unsigned i = 0; i < run.count; ++i) {
      const BitmapRow& row = rows[next + i];
      json.begin('{').key("name").text(row.name_text()).key("entry").number_or_null(row.entry);
      json.key("width").number(row.bitmap->width).key("height").number(row.bitmap->height);
      json.key("size").text(row.size_text()).key("bytes").number(row.bytes).key("offset").number_or_null(row.offset);
      json.key("crc32").text(row.crc32_text()).end('}');
      pixels.append(reinterpret_cast<const char*>(row.bitmap->pixels), row.bytes);
    }
    json.end(']').key("pixels").base64(deflated(pixels)).end('}');
    end_element(page);
  }
  page.append(kPageTail, kPageTailSize);
  return page;
}

}  // namespace catalogue
