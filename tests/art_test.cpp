// The committed PNGs are the art's source of truth only if the drawing
// program still draws them, and the program carries them only if the build
// converted them faithfully. Both are checked pixel for pixel, and the files
// of the drawing byte for byte against what artgen writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "bitmap_runs.h"
#include "art_manifest.h"
#include "manifest.h"
#include "next_steps.h"
#include "png_io.h"
#include "process.h"

namespace {

toolkit::Image565 read(const std::string& path) {
  toolkit::Image565 image;
  std::string error;
  EXPECT_TRUE(toolkit::read_png(path, image, error)) << error;
  return image;
}

// Only the runs artgen owns: a hand-drawn run's files are its source, guarded
// by the golden table and the converter. One failure per run, naming a few of
// its files, then what to do for each intention. Files that show the drawing
// must also be the bytes artgen writes, so that a run handed back to artgen
// comes back as committed; a change of the encoder shows here.
TEST(Art, TheDrawingProgramReproducesTheCommittedPictures) {
  const toolkit::Manifest manifest = testing_support::load_art_manifest();
  testing_support::TempDir out;
  auto r = testing_support::run_process({ARTGEN_PATH, ART_MANIFEST, out.path()});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  // The regenerated tree reads with the same manifest, pointed at its copy.
  toolkit::Manifest regenerated = manifest;
  regenerated.path = out / "manifest.txt";
  const int named = 4;
  for (const toolkit::Run& run : manifest.runs) {
    if (!run.by_artgen) continue;
    std::string files, encoded;
    int changed = 0, reencoded = 0;
    for (int i = 0; i < run.count; ++i) {
      const std::string committed = toolkit::bitmap_path(manifest, run, i), drawn = toolkit::bitmap_path(regenerated, run, i);
      const std::string d = testing_support::drawing_difference(read(committed), read(drawn));
      if (!d.empty() && ++changed <= named) files += "  " + testing_support::in_tree(committed) + ": " + d + "\n";
      if (d.empty() && testing_support::read_file(committed) != testing_support::read_file(drawn) &&
          ++reencoded <= named)
        encoded += "  " + testing_support::in_tree(committed) + "\n";
    }
    if (reencoded > 0) {
      if (reencoded > named) encoded += "  and " + std::to_string(reencoded - named) + " more files of the run\n";
      ADD_FAILURE() << reencoded << (reencoded == 1 ? " file of run '" : " files of run '") << run.name
                    << (reencoded == 1 ? "' shows" : "' show")
                    << " what artgen draws, but not as the bytes it writes (saved again by another program, or the "
                       "PNG encoder changed):\n"
                    << encoded << "Write them as artgen does (it leaves a file alone while its pixels are right, "
                                  "so remove the run's files first):\n  "
                    << testing_support::rewrite_command(run.name);
    }
    if (changed == 0) continue;
    if (changed > named) files += "  and " + std::to_string(changed - named) + " more files of the run\n";
    const std::string drawer = "tools/artgen/run_" + run.name + ".cpp";
    ADD_FAILURE() << changed << (changed == 1 ? " file of run '" : " files of run '") << run.name
                  << (changed == 1 ? "' is not" : "' are not") << " what artgen draws (" << drawer << "):\n"
                  << files << "If the files are right (edited as pictures), hand the run over to hand drawing: in "
                  << testing_support::in_tree(manifest.path) << ", line " << run.line
                  << ", change \"artgen\" to \"hand\"; then refresh the golden table:\n  "
                  << testing_support::refresh_golden_command() << "\nIf the drawing is right (" << drawer
                  << "), regenerate the run, build again and refresh the golden table as above:\n  "
                  << testing_support::regenerate_command(run.name);
  }
}

// "" when the bytes hold each pixel value of the picture, high byte first,
// row by row; else the first pixel that they do not.
std::string first_misplaced_pixel(const toolkit::Image565& picture, const uint8_t* bytes) {
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
  const toolkit::Manifest manifest = testing_support::load_art_manifest();
  ASSERT_EQ(manifest.runs.size(), bitmap_run_count);
  for (size_t r = 0; r < bitmap_run_count; ++r) {
    const toolkit::Run& run = manifest.runs[r];
    ASSERT_EQ(run.name, bitmap_runs[r].name);
    ASSERT_EQ(run.count, bitmap_runs[r].count);
    for (int i = 0; i < run.count; ++i) {
      const std::string path = toolkit::bitmap_path(manifest, run, i);
      const toolkit::Image565 image = read(path);
      const sBITMAP& record = bitmap_runs[r].records[i];
      ASSERT_EQ(record.width, image.width) << path;
      ASSERT_EQ(record.height, image.height) << path;
      EXPECT_EQ(first_misplaced_pixel(image, record.pixels), "") << path;
    }
  }
}

}  // namespace
