// The inputs under fuzz/regressions/, each one the fuzzer (or its reading of
// libpng) found trouble with, through the converter's PNG path: toolkit::read_png
// directly, and bitmapc pixels on a run holding the file. Each must be read
// or refused with one line that names the file, and none may make the reader
// claim memory by the hundred megabytes: they are files of a few hundred
// bytes at most.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "png_io.h"
#include "bitmapc_process.h"
#include "process.h"

#ifndef FUZZ_REGRESSIONS_DIR
#error "FUZZ_REGRESSIONS_DIR must name fuzz/regressions"
#endif

namespace {

using testing_support::ProcessResult;
using testing_support::TempDir;

// Highest resident set size of this process so far, in KB.
long peak_rss_kb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::vector<std::string> regression_files() {
  std::vector<std::string> paths;
  for (const std::string& name : testing_support::list_dir(FUZZ_REGRESSIONS_DIR))
    paths.push_back(std::string(FUZZ_REGRESSIONS_DIR) + "/" + name);
  return paths;
}

bool starts_with(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }

TEST(PngFuzzRegressions, ReadPngReadsOrRefusesEachInOneLineWithoutAHugeAllocation) {
  const std::vector<std::string> paths = regression_files();
  ASSERT_FALSE(paths.empty()) << "nothing in " << FUZZ_REGRESSIONS_DIR;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const long before = peak_rss_kb();
    toolkit::Image565 image;
    std::string error;
    const bool read = toolkit::read_png(path, image, error);
    const long grown_kb = peak_rss_kb() - before;
    EXPECT_LT(grown_kb, 64L * 1024) << "reading it raised the peak memory by " << grown_kb << " KB";
    if (read) {
      EXPECT_GT(image.width, 0);
      EXPECT_GT(image.height, 0);
      EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    } else {
      EXPECT_TRUE(starts_with(error, path + ": ")) << error;
      EXPECT_GT(error.size(), path.size() + 2) << "no reason given";
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
}

// bitmapc pixels on a one-bitmap run of the digits' size holding the file:
// done (0), or failed (1) with one line naming the file and no output or
// temporary file left behind.
TEST(PngFuzzRegressions, BitmapcPixelsConvertsOrRefusesEachInOneLine) {
  const std::vector<std::string> paths = regression_files();
  ASSERT_FALSE(paths.empty());
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "run").c_str(), 0755), 0);
    testing_support::write_file(dir / "manifest.txt", "run 9 12 1 table hand one regression input\n");
    testing_support::write_file(dir / "run/00.png", testing_support::read_file(path));
    const std::string out = dir / "run.bin";
    const ProcessResult r = testing_support::run_bitmapc({"pixels", dir / "manifest.txt", "run", out});
    ASSERT_TRUE(r.exit_status == 0 || r.exit_status == 1) << "exit status " << r.exit_status << "\n" << r.err;
    if (r.exit_status == 0) {
      EXPECT_EQ(testing_support::read_file(out).size(), 9u * 12u * 2u);
      std::remove(out.c_str());
    } else {
      EXPECT_TRUE(starts_with(r.err, "bitmapc: " + dir / "run/00.png" + ": ")) << r.err;
      ASSERT_FALSE(r.err.empty());
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
      EXPECT_FALSE(testing_support::file_exists(out));
    }
    EXPECT_EQ(testing_support::list_dir(dir.path()), (std::vector<std::string>{"manifest.txt", "run"}));
  }
}

}  // namespace
