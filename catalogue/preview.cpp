#include "preview.h"

#include <algorithm>
#include <string>

#include "label_font.h"

namespace catalogue {
namespace {

constexpr int kLargestScale = 8;
constexpr int kTargetSize = 480;      // a full screen, 160 high, shows at 3x
constexpr int kSmallestPicture = 16;  // below this in either direction a bitmap is a glyph
constexpr unsigned kFramesPerSecond = 15;

constexpr int kGap = 8;  // between frames and around the sheet
constexpr int kMaxSheetWidth = 1600;
constexpr uint16_t kGround = 0x8410;  // mid grey: black and white frames both stand out
constexpr uint16_t kInk = 0x0000;

// Labels in the small digit face, each pixel of it kLabelScale square.
constexpr int kLabelScale = 3;
constexpr int kLabelHeight = art::kLabelGlyphHeight * kLabelScale + 4;

void fill_rect(art::Image565& image, int x0, int y0, int w, int h, uint16_t colour) {
  for (int y = std::max(0, y0); y < std::min(image.height, y0 + h); ++y)
    for (int x = std::max(0, x0); x < std::min(image.width, x0 + w); ++x) image.at(x, y) = colour;
}

void draw_label(art::Image565& image, int x0, int y0, const std::string& text) {
  int x = x0;
  for (char c : text) {
    const char* const* glyph = art::label_glyph(c);
    for (int row = 0; glyph && row < art::kLabelGlyphHeight; ++row)
      for (int col = 0; col < art::kLabelGlyphWidth; ++col)
        if (glyph[row][col] == '#')
          fill_rect(image, x + col * kLabelScale, y0 + row * kLabelScale, kLabelScale, kLabelScale, kInk);
    x += (art::kLabelGlyphWidth + 1) * kLabelScale;
  }
}

void blit(art::Image565& dst, const art::Image565& src, int x0, int y0) {
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x) dst.at(x0 + x, y0 + y) = src.at(x, y);
}

}  // namespace

PreviewStyle preview_style(const sBITMAP_RUN& run) {
  const int width = run.count ? run.records[0].width : 0, height = run.count ? run.records[0].height : 0;
  const int largest = std::max({1, width, height});
  const int scale = std::clamp(kTargetSize / largest, 1, kLargestScale);
  const bool picture = std::min(width, height) >= kSmallestPicture;
  return {scale, picture && run.count > 1, kFramesPerSecond};
}

art::Image565 scaled_bitmap(const sBITMAP& bitmap, int scale) {
  art::Image565 image(bitmap.width * scale, bitmap.height * scale);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = bitmap.pixels + 2 * ((y / scale) * bitmap.width + x / scale);
      image.at(x, y) = static_cast<uint16_t>(p[0] << 8 | p[1]);
    }
  return image;
}

art::Image565 contact_sheet(const sBITMAP_RUN& run, int scale) {
  int frame_width = 0, frame_height = 0;
  for (int i = 0; i < run.count; ++i) {
    frame_width = std::max(frame_width, run.records[i].width * scale);
    frame_height = std::max(frame_height, run.records[i].height * scale);
  }
  const int cell_width = frame_width + kGap, cell_height = kLabelHeight + frame_height + kGap;
  const int columns = std::clamp((kMaxSheetWidth - kGap) / cell_width, 1, std::max(1, int{run.count}));
  const int rows = (run.count + columns - 1) / columns;
  art::Image565 sheet(kGap + columns * cell_width, kGap + std::max(rows, 1) * cell_height, kGround);
  for (int i = 0; i < run.count; ++i) {
    const int x = kGap + (i % columns) * cell_width, y = kGap + (i / columns) * cell_height;
    const std::string label =
        run.first_entry == BITMAP_NOT_IN_TABLE ? "-" : std::to_string(run.first_entry + i);
    draw_label(sheet, x, y + 2, label);
    blit(sheet, scaled_bitmap(run.records[i], scale), x, y + kLabelHeight);
  }
  return sheet;
}

std::vector<art::Image565> animation_frames(const sBITMAP_RUN& run, int scale) {
  std::vector<art::Image565> frames;
  for (int i = 0; i < run.count; ++i) frames.push_back(scaled_bitmap(run.records[i], scale));
  return frames;
}

}  // namespace catalogue
