// artgen as a designer meets it: it draws only the runs it owns, writes only
// the files whose pixels changed, and refuses what it cannot draw faithfully
// instead of drawing something else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <string>
#include <vector>

#include "canvas.h"
#include "manifest.h"
#include "palette.h"
#include "png_fixtures.h"
#include "png_io.h"
#include "process.h"
#include "runs.h"
#include "screen_common.h"

namespace {

using testing_support::ProcessResult;
using testing_support::TempDir;

// Two small runs artgen has drawers for; the first is drawn by hand.
const char kManifest[] =
    "# test runs\n"
    "digits_warm   9 12 10 table  hand    edited in an image editor\n"
    "digits_cool   9 12 10 table  artgen  drawn by artgen\n";

struct Tree {
  TempDir dir;
  std::string manifest = dir / "manifest.txt";
  Tree() { testing_support::write_file(manifest, kManifest); }
  ProcessResult artgen(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {ARTGEN_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return testing_support::run_process(argv);
  }
};

toolkit::Image565 read(const std::string& path) {
  toolkit::Image565 image;
  std::string error;
  EXPECT_TRUE(toolkit::read_png(path, image, error)) << error;
  return image;
}

time_t mtime(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mtime;
}

// Both time stamps set far in the past, so that a rewrite shows.
void make_old(const std::string& path) {
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0) << path;
}

TEST(Artgen, HelpSaysWhatTheSheetAndTheRunsDo) {
  for (const char* flag : {"--help", "-h"}) {
    SCOPED_TRACE(flag);
    ProcessResult r = testing_support::run_process({ARTGEN_PATH, flag});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("usage: artgen [--sheet] MANIFEST OUT_DIR [RUN ...]\n", 0), 0u) << r.out;
    for (const char* topic : {"  RUN ...     draw only the runs named", "  --sheet     ", "drawn by hand"})
      EXPECT_NE(r.out.find(topic), std::string::npos) << topic;
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {ARTGEN_PATH}, {ARTGEN_PATH, "m.txt"}, {ARTGEN_PATH, "--shet", "m.txt", "out"}}) {
    SCOPED_TRACE(args.back());
    ProcessResult r = testing_support::run_process(args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "usage: artgen [--sheet] MANIFEST OUT_DIR [RUN ...]\nartgen --help says more\n");
  }
}

// The report is part of the job: one nobody can read fails the run, after
// the files are complete.
TEST(Artgen, AReportNobodyReadsFailsTheRun) {
  Tree t;
  testing_support::ProcessOptions options;
  options.stdout_as = testing_support::ProcessOptions::Output::reader_gone;
  options.ignored_signals = {SIGPIPE};
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"}, {t.manifest, t.dir / "art", "digits_cool"}}) {
    SCOPED_TRACE(args.front());
    std::vector<std::string> argv = {ARTGEN_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult r = testing_support::run_process(argv, options);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "artgen: standard output: Broken pipe\n");
  }
  EXPECT_EQ(testing_support::list_dir(t.dir / "art/digits_cool").size(), 10u);
}

TEST(Artgen, RefusesToOverwriteAHandDrawnRun) {
  Tree t;
  const std::string out = t.dir / "art";
  ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((out + "/digits_warm").c_str(), 0755), 0);
  const std::string edited = out + "/digits_warm/00.png";
  testing_support::write_file(edited, "the designer's file");
  const std::string refusal =
      "artgen: " + t.manifest + ":2: run 'digits_warm' is drawn by hand; artgen does not overwrite it\n";
  const std::vector<std::vector<std::string>> named = {
      {t.manifest, out, "digits_warm"},
      {t.manifest, out, "digits_cool", "digits_warm"},  // refused before anything is drawn
      {"--sheet", t.manifest, out, "digits_warm"},
  };
  for (const auto& args : named) {
    SCOPED_TRACE(args.back());
    ProcessResult r = t.artgen(args);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, refusal);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(testing_support::list_dir(out), std::vector<std::string>{"digits_warm"});
    EXPECT_EQ(testing_support::list_dir(out + "/digits_warm"), std::vector<std::string>{"00.png"});
    EXPECT_EQ(testing_support::read_file(edited), "the designer's file");
  }
  // Unnamed, the hand-drawn run is passed over and the others drawn.
  ProcessResult r = t.artgen({t.manifest, out});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out,
            "digits_warm: drawn by hand, left alone\n"
            "digits_cool: 10 (00.png, 01.png, 02.png, 03.png, ...) written\n");
  EXPECT_EQ(testing_support::read_file(edited), "the designer's file");
  EXPECT_EQ(testing_support::list_dir(out + "/digits_cool").size(), 10u);
}

TEST(Artgen, WritesOnlyTheFilesWhosePixelsChanged) {
  Tree t;
  const std::string out = t.dir / "art";
  ProcessResult first = t.artgen({t.manifest, out, "digits_cool"});
  ASSERT_EQ(first.exit_status, 0) << first.err;
  const std::string run = out + "/digits_cool/";
  const toolkit::Image565 one = read(run + "01.png");
  // 01.png spoiled; 02.png saved again by an image editor, as a palette PNG
  // with a gamma chunk, showing the same pixels.
  std::string error;
  ASSERT_TRUE(toolkit::write_png(run + "01.png", toolkit::Image565(9, 12, 0xF800), error)) << error;
  const toolkit::Image565 two = read(run + "02.png");
  testing_support::PngPicture palette;
  palette.width = two.width;
  palette.height = two.height;
  palette.colour_type = PNG_COLOR_TYPE_PALETTE;
  palette.gamma = 0.45455;
  for (uint16_t p : two.pixels) {
    palette.samples.push_back(static_cast<unsigned>(palette.palette.size()));
    palette.palette.push_back({toolkit::red8(p), toolkit::green8(p), toolkit::blue8(p)});
  }
  ASSERT_LE(palette.palette.size(), 256u);
  testing_support::write_png_file(run + "02.png", palette);
  const std::string palette_bytes = testing_support::read_file(run + "02.png");
  for (const std::string& name : testing_support::list_dir(run)) make_old(run + name);

  ProcessResult again = t.artgen({t.manifest, out, "digits_cool"});
  EXPECT_EQ(again.exit_status, 0) << again.err;
  EXPECT_EQ(again.out, "digits_cool: 01.png written, 9 left as they were\n");
  EXPECT_EQ(read(run + "01.png").pixels, one.pixels);
  EXPECT_NE(mtime(run + "01.png"), 1000000000);
  for (const std::string& name : testing_support::list_dir(run))
    if (name != "01.png") {
      EXPECT_EQ(mtime(run + name), 1000000000) << name;
    }
  EXPECT_EQ(testing_support::read_file(run + "02.png"), palette_bytes);

  ProcessResult still = t.artgen({t.manifest, out, "digits_cool"});
  EXPECT_EQ(still.out, "digits_cool: 10 left as they were\n");
}

// Drawers of a run that ask for what cannot be drawn as asked.
toolkit::Image565 caption(int, int, int width, int height, const std::string& text) {
  art::Canvas canvas = art::screen::background(width, height);
  art::screen::caption(canvas, {"PLEASE", text}, art::palette::white);
  return canvas.to_image();
}
toolkit::Image565 caption_locked_bang(int i, int n, int w, int h) { return caption(i, n, w, h, "LOCKED!"); }
toolkit::Image565 caption_lower_case(int i, int n, int w, int h) { return caption(i, n, w, h, "Locked"); }
toolkit::Image565 caption_with_space(int i, int n, int w, int h) { return caption(i, n, w, h, "NOW LOCKED"); }
toolkit::Image565 wrong_size(int, int, int, int) { return toolkit::Image565(9, 12); }
toolkit::Image565 farewell_in_digits(int, int, int width, int height) {
  art::Canvas canvas(width, height);
  art::Canvas::text_width("GOODBYE 2", 2);
  return canvas.to_image();
}

TEST(Artgen, RefusesADrawingItCannotMakeAsAsked) {
  struct Case {
    art::DrawBitmap draw;
    std::string error;  // "" when it draws
  };
  const Case cases[] = {
      {caption_locked_bang, "run 'lock', bitmap 3: caption \"LOCKED!\": the 5 x 7 capitals have no '!'"},
      {caption_lower_case, "run 'lock', bitmap 3: caption \"Locked\": the 5 x 7 capitals have no 'o'"},
      {farewell_in_digits, "run 'lock', bitmap 3: caption \"GOODBYE 2\": the 5 x 7 capitals have no '2'"},
      {wrong_size, "run 'lock', bitmap 3: drawn at 9 x 12, the manifest says 80 x 160"},
      {caption_with_space, ""},
  };
  toolkit::Run run;
  run.name = "lock";
  run.width = 80;
  run.height = 160;
  run.count = 30;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    const art::RunDrawer drawer{"lock", c.draw};
    toolkit::Image565 image;
    std::string error;
    EXPECT_EQ(art::draw_bitmap(drawer, run, 3, image, error), c.error.empty());
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
