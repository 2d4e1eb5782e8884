#include "contact_sheet.h"

#include <algorithm>

#include "label_font.h"

namespace toolkit {
namespace {

constexpr int kLabelScale = 3;
constexpr int kLabelHeight = kLabelGlyphHeight * kLabelScale + 4;
constexpr uint16_t kInk = 0x0000;

void fill_rect(Image565& image, int x0, int y0, int w, int h, uint16_t colour) {
  for (int y = std::max(0, y0); y < std::min(image.height, y0 + h); ++y)
    for (int x = std::max(0, x0); x < std::min(image.width, x0 + w); ++x) image.at(x, y) = colour;
}

void draw_label(Image565& image, int x0, int y0, const std::string& text) {
  int x = x0;
  for (char c : text) {
    const char* const* glyph = label_glyph(c);
    for (int row = 0; glyph && row < kLabelGlyphHeight; ++row)
      for (int col = 0; col < kLabelGlyphWidth; ++col)
        if (glyph[row][col] == '#')
          fill_rect(image, x + col * kLabelScale, y0 + row * kLabelScale, kLabelScale, kLabelScale, kInk);
    x += (kLabelGlyphWidth + 1) * kLabelScale;
  }
}

}  // namespace

Image565 contact_sheet(const std::vector<Image565>& frames, const std::vector<std::string>& labels,
                       const SheetLayout& layout) {
  const int scale = layout.scale, gap = layout.gap;
  int frame_width = 0, frame_height = 0;
  for (const Image565& frame : frames) {
    frame_width = std::max(frame_width, frame.width * scale);
    frame_height = std::max(frame_height, frame.height * scale);
  }
  const int label_height = labels.empty() ? 0 : kLabelHeight;
  const int cell_width = frame_width + gap, cell_height = label_height + frame_height + gap;
  const int count = static_cast<int>(frames.size());
  const int rows = std::max(1, (count + layout.columns - 1) / layout.columns);
  Image565 sheet(gap + layout.columns * cell_width, gap + rows * cell_height, layout.ground);
  for (int i = 0; i < count; ++i) {
    const Image565& frame = frames[static_cast<size_t>(i)];
    const int x0 = gap + (i % layout.columns) * cell_width, y0 = gap + (i / layout.columns) * cell_height;
    if (!labels.empty()) draw_label(sheet, x0, y0 + 2, labels[static_cast<size_t>(i)]);
    for (int y = 0; y < frame.height * scale; ++y)
      for (int x = 0; x < frame.width * scale; ++x)
        sheet.at(x0 + x, y0 + label_height + y) = frame.at(x / scale, y / scale);
  }
  return sheet;
}

}  // namespace toolkit
