// The committed PNGs are the art's source of truth only if the drawing
// program still draws them, and the program carries them only if the build
// converted them faithfully. Both are checked pixel for pixel.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "bitmap_runs.h"
#include "manifest.h"
#include "png_io.h"
#include "process.h"

namespace {

art::Manifest load() {
  art::Manifest manifest;
  std::string error;
  EXPECT_TRUE(art::load_manifest(ART_MANIFEST, manifest, error)) << error;
  return manifest;
}

art::Image565 read(const std::string& path) {
  art::Image565 image;
  std::string error;
  EXPECT_TRUE(art::read_png(path, image, error)) << error;
  return image;
}

// "" when equal, else where they first differ.
std::string difference(const art::Image565& a, const art::Image565& b) {
  if (a.width != b.width || a.height != b.height)
    return std::to_string(a.width) + " x " + std::to_string(a.height) + " against " + std::to_string(b.width) +
           " x " + std::to_string(b.height);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if (a.at(x, y) != b.at(x, y)) {
        char where[96];
        std::snprintf(where, sizeof where, "pixel (%d, %d) is %04X against %04X", x, y, a.at(x, y), b.at(x, y));
        return where;
      }
  return "";
}

TEST(Art, TheDrawingProgramReproducesTheCommittedPictures) {
  const art::Manifest manifest = load();
  testing_support::TempDir out;
  auto r = testing_support::run_process({ARTGEN_PATH, ART_MANIFEST, out.path()});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  // The regenerated tree reads with the same manifest, pointed at its copy.
  art::Manifest regenerated = manifest;
  regenerated.path = out / "manifest.txt";
  for (const art::Run& run : manifest.runs)
    for (int i = 0; i < run.count; ++i) {
      const std::string committed = art::bitmap_path(manifest, run, i);
      EXPECT_EQ(difference(read(art::bitmap_path(regenerated, run, i)), read(committed)), "") << committed;
    }
}

// "" when the bytes hold each pixel value of the picture, high byte first,
// row by row; else the first pixel that they do not.
std::string first_misplaced_pixel(const art::Image565& picture, const uint8_t* bytes) {
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const uint16_t value = picture.at(x, y);
      const uint8_t* stored = bytes + 2 * (y * picture.width + x);
      if (stored[0] == value >> 8 && stored[1] == (value & 0xFF)) continue;
      char where[96];
      std::snprintf(where, sizeof where, "pixel (%d, %d) is %04X in the picture, stored as %02X %02X", x, y, value,
                    stored[0], stored[1]);
      return where;
    }
  return "";
}

TEST(Art, TheProgramCarriesThePicturesHighByteFirst) {
  const art::Manifest manifest = load();
  ASSERT_EQ(manifest.runs.size(), bitmap_run_count);
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const art::Run& run = manifest.runs[r];
    ASSERT_EQ(run.name, bitmap_runs[r].name);
    ASSERT_EQ(run.count, bitmap_runs[r].count);
    for (int i = 0; i < run.count; ++i) {
      const std::string path = art::bitmap_path(manifest, run, i);
      const art::Image565 image = read(path);
      const sBITMAP& record = bitmap_runs[r].records[i];
      ASSERT_EQ(record.width, image.width) << path;
      ASSERT_EQ(record.height, image.height) << path;
      EXPECT_EQ(first_misplaced_pixel(image, record.pixels), "") << path;
    }
  }
}

}  // namespace
