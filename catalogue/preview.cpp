#include "preview.h"

#include <algorithm>
#include <string>

#include "contact_sheet.h"

namespace catalogue {
namespace {

constexpr int kLargestScale = 8;
constexpr int kTargetSize = 480;      // a full screen, 160 high, shows at 3x
constexpr int kSmallestPicture = 16;  // below this in either direction a bitmap is a glyph
constexpr unsigned kFramesPerSecond = 15;

constexpr int kGap = 8;  // between frames and around the sheet
constexpr int kMaxSheetWidth = 1600;
constexpr uint16_t kGround = 0x8410;  // mid grey: black and white frames both stand out

}  // namespace

PreviewStyle preview_style(const sBITMAP_RUN& run) {
  const int width = run.count ? run.records[0].width : 0, height = run.count ? run.records[0].height : 0;
  const int largest = std::max({1, width, height});
  const int scale = std::clamp(kTargetSize / largest, 1, kLargestScale);
  const bool picture = std::min(width, height) >= kSmallestPicture;
  return {scale, picture && run.count > 1, kFramesPerSecond};
}

toolkit::Image565 scaled_bitmap(const sBITMAP& bitmap, int scale) {
  toolkit::Image565 image(bitmap.width * scale, bitmap.height * scale);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = bitmap.pixels + 2 * ((y / scale) * bitmap.width + x / scale);
      image.at(x, y) = static_cast<uint16_t>(p[0] << 8 | p[1]);
    }
  return image;
}

toolkit::Image565 contact_sheet(const sBITMAP_RUN& run, int scale) {
  std::vector<toolkit::Image565> frames;
  std::vector<std::string> labels;
  int frame_width = 0;
  for (int i = 0; i < run.count; ++i) {
    frames.push_back(scaled_bitmap(run.records[i], 1));
    labels.push_back(run.first_entry == BITMAP_NOT_IN_TABLE ? "-" : std::to_string(run.first_entry + i));
    frame_width = std::max(frame_width, run.records[i].width * scale);
  }
  const int columns = std::clamp((kMaxSheetWidth - kGap) / (frame_width + kGap), 1, std::max(1, int{run.count}));
  return toolkit::contact_sheet(frames, labels, {scale, kGap, columns, kGround});
}

std::vector<toolkit::Image565> animation_frames(const sBITMAP_RUN& run, int scale) {
  std::vector<toolkit::Image565> frames;
  for (int i = 0; i < run.count; ++i) frames.push_back(scaled_bitmap(run.records[i], scale));
  return frames;
}

}  // namespace catalogue
