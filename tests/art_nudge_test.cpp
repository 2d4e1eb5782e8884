// The drawing must come out the same on every machine, but C libraries round
// sin, cos, exp, pow and the rest differently in the last bit. This test runs
// the drawers built with every such result moved one unit in the last place
// (tools/artgen/art_math.h), all up and then all down, and checks that every
// bitmap of every run artgen owns is still its committed file, pixel for
// pixel: no pixel sits so close to a rounding edge that another C library
// could move it. A file that differs from the drawing even without nudging
// fails as that, pointing to the art test. One case per run, so ctest
// spreads them over the cores.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "art_math.h"
#include "art_manifest.h"
#include "manifest.h"
#include "next_steps.h"
#include "png_io.h"
#include "runs.h"

namespace {

class ArtNudge : public testing::TestWithParam<std::string> {};

TEST_P(ArtNudge, NoPixelMovesWhenEveryLibmResultIsOneUlpOff) {
  const toolkit::Manifest manifest = testing_support::load_art_manifest();
  const toolkit::Run* run = manifest.find(GetParam());
  ASSERT_NE(run, nullptr);
  if (!run->by_artgen) GTEST_SKIP() << "run '" << run->name << "' is drawn by hand";
  const art::RunDrawer* drawer = art::find_drawer(run->name);
  ASSERT_NE(drawer, nullptr);
  auto draw = [&](int nudge, int i, toolkit::Image565& image) {
    art::math::nudge = nudge;
    std::string error;
    const bool drawn = art::draw_bitmap(*drawer, *run, i, image, error);
    art::math::nudge = 0;
    EXPECT_TRUE(drawn) << error;
    return drawn;
  };
  for (int direction : {+1, -1})
    for (int i = 0; i < run->count; ++i) {
      const std::string path = toolkit::bitmap_path(manifest, *run, i);
      toolkit::Image565 committed, nudged, drawing;
      std::string error;
      ASSERT_TRUE(toolkit::read_png(path, committed, error)) << error;
      if (!draw(direction, i, nudged)) return;
      if (nudged.pixels == committed.pixels) continue;
      // A file that is not the drawing to begin with, edited by hand, says
      // nothing about rounding: the art test says what to do with it.
      if (!draw(0, i, drawing)) return;
      const std::string difference = testing_support::drawing_difference(committed, drawing);
      if (!difference.empty()) {
        ADD_FAILURE() << testing_support::in_tree(path) << " is not what artgen draws, nudged or not ("
                      << difference << "), so the rounding of run '" << run->name
                      << "' cannot be judged against it. The art test names the run's changed files and says "
                         "what to do:\n  "
                      << testing_support::art_test_command();
        return;
      }
      int moved = 0;
      std::string first;
      for (size_t p = 0; p < committed.pixels.size() && p < nudged.pixels.size(); ++p)
        if (committed.pixels[p] != nudged.pixels[p] && moved++ == 0) {
          char where[96];
          std::snprintf(where, sizeof where, "(%d, %d): %04X becomes %04X", static_cast<int>(p) % committed.width,
                        static_cast<int>(p) / committed.width, committed.pixels[p], nudged.pixels[p]);
          first = where;
        }
      ADD_FAILURE() << testing_support::in_tree(path) << ", every result one unit in the last place "
                    << (direction > 0 ? "up" : "down") << ": " << moved
                    << (moved == 1 ? " pixel moves, at " : " pixels move, the first at ") << first;
    }
}

std::vector<std::string> run_names() {
  std::vector<std::string> names;
  for (const toolkit::Run& run : testing_support::load_art_manifest().runs) names.push_back(run.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(EveryRun, ArtNudge, testing::ValuesIn(run_names()),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

}  // namespace
