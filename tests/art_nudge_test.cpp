// The drawing must come out the same on every machine, but C libraries round
// sin, cos, exp, pow and the rest differently in the last bit. This test runs
// the drawers built with every such result moved one unit in the last place
// (tools/artgen/art_math.h), all up and then all down, and checks that every
// bitmap of every run artgen owns is still its committed file, pixel for
// pixel: no pixel sits so close to a rounding edge that another C library
// could move it. One case per run, so ctest spreads them over the cores.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "art_math.h"
#include "art_manifest.h"
#include "manifest.h"
#include "png_io.h"
#include "runs.h"

namespace {

class ArtNudge : public testing::TestWithParam<std::string> {};

TEST_P(ArtNudge, NoPixelMovesWhenEveryLibmResultIsOneUlpOff) {
  const art::Manifest manifest = testing_support::load_art_manifest();
  const art::Run* run = manifest.find(GetParam());
  ASSERT_NE(run, nullptr);
  if (!run->by_artgen) GTEST_SKIP() << "run '" << run->name << "' is drawn by hand";
  const art::RunDrawer* drawer = art::find_drawer(run->name);
  ASSERT_NE(drawer, nullptr);
  for (int direction : {+1, -1}) {
    art::math::nudge = direction;
    for (int i = 0; i < run->count; ++i) {
      const std::string path = art::bitmap_path(manifest, *run, i);
      art::Image565 committed, nudged;
      std::string error;
      ASSERT_TRUE(art::read_png(path, committed, error)) << error;
      ASSERT_TRUE(art::draw_bitmap(*drawer, *run, i, nudged, error)) << error;
      int moved = 0;
      std::string first;
      for (size_t p = 0; p < committed.pixels.size() && p < nudged.pixels.size(); ++p)
        if (committed.pixels[p] != nudged.pixels[p] && moved++ == 0) {
          char where[96];
          std::snprintf(where, sizeof where, "(%d, %d): %04X becomes %04X", static_cast<int>(p) % committed.width,
                        static_cast<int>(p) / committed.width, committed.pixels[p], nudged.pixels[p]);
          first = where;
        }
      EXPECT_EQ(moved, 0) << path << ", every result one unit in the last place " << (direction > 0 ? "up" : "down")
                          << ": " << moved << " pixels move, the first " << first;
    }
  }
  art::math::nudge = 0;
}

std::vector<std::string> run_names() {
  std::vector<std::string> names;
  for (const art::Run& run : testing_support::load_art_manifest().runs) names.push_back(run.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(EveryRun, ArtNudge, testing::ValuesIn(run_names()),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

}  // namespace
