// bitmapc pixels, run as the build runs it: a run's PNGs become one RGB565
// blob, high byte first; anything wrong with the art fails with one line
// naming the file, and leaves no output behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "art_manifest.h"
#include "png_fixtures.h"
#include "bitmapc_process.h"
#include "process.h"


namespace {

using testing_support::ProcessResult;
using testing_support::TempDir;

const char kManifest[] =
    "# runs for the test\n"
    "flag   3 2 2 table    hand    two frames of a flag\n"
    "other  4 4 1 outside  artgen  a run whose folder is absent\n";

toolkit::Image565 image(int width, int height, const std::vector<uint16_t>& pixels) {
  toolkit::Image565 im(width, height);
  im.pixels = pixels;
  return im;
}

// Two 3 x 2 frames; every pixel's two bytes differ from its neighbours', and
// no frame equals the other flipped or with red and blue swapped.
const std::vector<uint16_t> kFrame0 = {0xF800, 0x001F, 0x07E0, 0xFFFF, 0x0000, 0x1234};
const std::vector<uint16_t> kFrame1 = {0x001F, 0xF800, 0xFFFF, 0x0000, 0x07E0, 0xABCD};
const std::vector<uint8_t> kFlagBytes = {
    0xF8, 0x00, 0x00, 0x1F, 0x07, 0xE0, 0xFF, 0xFF, 0x00, 0x00, 0x12, 0x34,  // frame 0
    0x00, 0x1F, 0xF8, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x07, 0xE0, 0xAB, 0xCD,  // frame 1
};

// Manifest lines of table runs of 1 x 1 bitmaps, entries bitmaps in all.
std::string table_runs(int entries) {
  std::string text;
  for (int i = 0; entries > 0; ++i, entries -= toolkit::kMaxRunBitmaps)
    text += "r" + std::to_string(i) + " 1 1 " + std::to_string(std::min(entries, toolkit::kMaxRunBitmaps)) +
            " table hand a run\n";
  return text;
}

void write_art(const std::string& path, const toolkit::Image565& im) {
  testing_support::write_png_file(path, testing_support::rgb8_picture(im));
}

// dir/art: the manifest and the two frames of 'flag'; dir/out: empty.
struct Tree {
  TempDir dir;
  std::string art = dir / "art";
  std::string out_dir = dir / "out";
  std::string out = out_dir + "/flag.bin";

  Tree() {
    mkdir(art);
    mkdir(art + "/flag");
    mkdir(out_dir);
    testing_support::write_file(art + "/manifest.txt", kManifest);
    write_art(art + "/flag/00.png", image(3, 2, kFrame0));
    write_art(art + "/flag/01.png", image(3, 2, kFrame1));
  }

  static void mkdir(const std::string& path) {
    ProcessResult r = testing_support::run_process({"/bin/mkdir", path});
    if (r.exit_status != 0) throw std::runtime_error("mkdir " + path + ": " + r.err);
  }

  ProcessResult pixels(const std::string& manifest, const std::string& run) const {
    return testing_support::run_bitmapc({"pixels", manifest, run, out});
  }
};

// Spoils the tree's manifest with lines added after its own.
std::function<void(Tree&)> manifest_line(const std::string& line) {
  return [line](Tree& t) { testing_support::write_file(t.art + "/manifest.txt", kManifest + line); };
}

std::vector<uint8_t> bytes_of(const std::string& path) {
  const std::string s = testing_support::read_file(path);
  return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(BitmapcPixels, WritesTheRunHighByteFirstInBitmapOrder) {
  struct Case {
    const char* name;
    std::function<void(Tree&)> prepare;
  };
  const Case cases[] = {
      {"the run alone", [](Tree&) {}},
      {"other files beside the PNGs",
       [](Tree& t) {
         testing_support::write_file(t.art + "/flag/notes.txt", "drawn by artgen\n");
         testing_support::write_file(t.art + "/flag/00.png~", "an editor's backup");
       }},
      {"a stale output from an earlier build", [](Tree& t) { testing_support::write_file(t.out, "old pixels"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    c.prepare(t);
    ProcessResult r = t.pixels(t.art + "/manifest.txt", "flag");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(bytes_of(t.out), kFlagBytes);
    EXPECT_EQ(testing_support::list_dir(t.out_dir), std::vector<std::string>{"flag.bin"});
  }
}

TEST(BitmapcPixels, FindsTheArtBesideARelativeManifest) {
  Tree t;
  ProcessResult r = testing_support::run_bitmapc({"pixels", "manifest.txt", "flag", t.out}, t.art);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(bytes_of(t.out), kFlagBytes);
}

TEST(BitmapcPixels, RefusesArtThatDoesNotMatchTheManifest) {
  struct Case {
    const char* name;
    std::function<void(Tree&)> spoil;
    std::string manifest;  // under the art folder
    std::string run;
    std::string expected;  // after "bitmapc: <art folder>/"
  };
  const std::string two_bitmaps = "run 'flag' has 2 bitmaps, 00.png to 01.png";
  const std::vector<Case> cases = {
      {"a bitmap of the wrong size", [](Tree& t) { write_art(t.art + "/flag/01.png", image(3, 1, {0, 0, 0})); },
       "manifest.txt", "flag", "flag/01.png: is 3 x 1, run 'flag' takes 3 x 2 bitmaps"},
      {"a bitmap turned round", [](Tree& t) { write_art(t.art + "/flag/00.png", image(2, 3, kFrame0)); },
       "manifest.txt", "flag", "flag/00.png: is 2 x 3, run 'flag' takes 3 x 2 bitmaps"},
      {"a missing bitmap", [](Tree& t) { std::remove((t.art + "/flag/01.png").c_str()); }, "manifest.txt", "flag",
       "flag/01.png: missing: " + two_bitmaps},
      {"one bitmap too many", [](Tree& t) { write_art(t.art + "/flag/02.png", image(3, 2, kFrame0)); },
       "manifest.txt", "flag", "flag/02.png: not part of run 'flag', which has 2 bitmaps, 00.png to 01.png"},
      {"a PNG named without its leading zero",
       [](Tree& t) { write_art(t.art + "/flag/1.png", image(3, 2, kFrame1)); }, "manifest.txt", "flag",
       "flag/1.png: not part of run 'flag', which has 2 bitmaps, 00.png to 01.png"},
      {"a bitmap that is not a PNG",
       [](Tree& t) { testing_support::write_file(t.art + "/flag/00.png", "P3 3 2 255\n"); }, "manifest.txt",
       "flag", "flag/00.png: not a PNG file"},
      {"a bitmap with a transparent pixel",
       [](Tree& t) {
         testing_support::PngPicture p;
         p.width = 3;
         p.height = 2;
         p.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
         p.samples = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 0, 255, 0, 0, 255};
         testing_support::write_png_file(t.art + "/flag/01.png", p);
       },
       "manifest.txt", "flag",
       "flag/01.png: pixel (1, 1) is not opaque (alpha 0 of 255): the display cannot show transparency"},
      {"a run the manifest does not declare", [](Tree&) {}, "manifest.txt", "flags",
       "manifest.txt: no run named 'flags'"},
      {"a run whose folder is absent", [](Tree&) {}, "manifest.txt", "other",
       "other: cannot open the folder of run 'other': No such file or directory"},
      {"a malformed manifest line", manifest_line("broken 3 2\n"), "manifest.txt", "flag",
       "manifest.txt:4: expected: name width height count placement drawn description"},
      {"a run without its owner", manifest_line("broken 3 2 1 table\n"), "manifest.txt", "flag",
       "manifest.txt:4: expected: name width height count placement drawn description"},
      {"a run of more bitmaps than two digits can name", manifest_line("long 3 2 100 table hand a run\n"),
       "manifest.txt", "flag", "manifest.txt:4: count '100' is not a whole number from 1 to 99"},
      {"a bitmap of no width", manifest_line("thin 0 2 1 table hand a run\n"), "manifest.txt", "flag",
       "manifest.txt:4: width '0' is not a whole number from 1 to 255"},
      {"an owner that is neither artgen nor hand", manifest_line("pen 3 2 1 table gimp a run\n"),
       "manifest.txt", "flag", "manifest.txt:4: drawn 'gimp' is neither 'artgen' nor 'hand'"},
      {"a missing manifest", [](Tree&) {}, "nowhere.txt", "flag", "nowhere.txt: cannot open the manifest"},
      {"a run outside the table of two bitmaps", manifest_line("pair 3 2 2 outside hand two\n"), "manifest.txt", "flag",
       "manifest.txt:4: run 'pair' is outside the table, so it must hold exactly 1 bitmap"},
      {"one table entry more than an index names", manifest_line(table_runs(65534)), "manifest.txt", "flag",
       "manifest.txt: the table runs hold 65536 bitmaps, more than a table index can name"},
      {"a run name that starts with a digit", manifest_line("2flag 3 2 1 table hand a run\n"), "manifest.txt", "flag",
       "manifest.txt:4: run name '2flag' is not lower case letters, digits and underscores"},
      {"a PNG in no run's folder",
       [](Tree& t) {
         Tree::mkdir(t.art + "/flag/old");
         write_art(t.art + "/flag/old/00.png", image(3, 2, kFrame0));
       },
       "manifest.txt", "flag", "flag/old/00.png: not part of any run of $ART/manifest.txt"},
  };
  for (const Case& c : cases) {
    for (bool stale : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (stale ? ", over a stale output" : ""));
      Tree t;
      c.spoil(t);
      if (stale) testing_support::write_file(t.out, "old pixels");
      ProcessResult r = t.pixels(t.art + "/" + c.manifest, c.run);
      std::string expected = c.expected;
      if (expected.find("$ART") != std::string::npos) expected.replace(expected.find("$ART"), 4, t.art);
      EXPECT_EQ(r.exit_status, 1);
      EXPECT_EQ(r.err, "bitmapc: " + t.art + "/" + expected + "\n");
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(testing_support::list_dir(t.out_dir), std::vector<std::string>{});  // no output, no temporary file
    }
  }
}

// The largest table an index names, entries 0 to 0xFFFE: 0xFFFF is no entry.
TEST(BitmapcPixels, TakesTheLargestTableAnIndexNames) {
  Tree t;
  manifest_line(table_runs(65533))(t);
  ProcessResult r = t.pixels(t.art + "/manifest.txt", "flag");
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(bytes_of(t.out), kFlagBytes);
}

TEST(BitmapcPixels, ReportsAnOutputThatCannotBeWritten) {
  Tree t;
  const std::string out = t.out_dir + "/nowhere/flag.bin";
  ProcessResult r = testing_support::run_bitmapc({"pixels", t.art + "/manifest.txt", "flag", out});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "bitmapc: " + out + ": No such file or directory\n");
  EXPECT_EQ(testing_support::list_dir(t.out_dir), std::vector<std::string>{});
}

// The records are generated from the blobs (each bitmap's CRC-32): a blob
// missing or of another length stops the build, naming it, and nothing is
// generated.
TEST(BitmapcSources, RefusesABlobThatIsNotTheRunsBytes) {
  for (int other_bytes : {-1, 31}) {  // -1: none; 'other' is one 4 x 4 bitmap, 32 bytes
    Tree t;
    testing_support::write_file(t.out_dir + "/flag.rgb565", std::string(kFlagBytes.begin(), kFlagBytes.end()));
    if (other_bytes >= 0)
      testing_support::write_file(t.out_dir + "/other.rgb565", std::string(static_cast<size_t>(other_bytes), 'x'));
    ProcessResult r =
        testing_support::run_bitmapc({"sources", t.art + "/manifest.txt", t.out_dir, t.out_dir});
    EXPECT_EQ(r.exit_status, 1) << other_bytes;
    EXPECT_EQ(r.err, "bitmapc: " + t.out_dir + "/other.rgb565: cannot be read as the 32 bytes of run 'other'\n");
    EXPECT_FALSE(testing_support::file_exists(t.out_dir + "/catalogue.cpp")) << other_bytes;
  }
}

TEST(BitmapcPixels, UsageErrorsExitTwo) {
  Tree t;
  const std::string m = t.art + "/manifest.txt";
  const std::vector<std::vector<std::string>> argument_lists = {
      {}, {m}, {m, "flag"}, {m, "flag", t.out, "extra"}};
  for (const std::vector<std::string>& args : argument_lists) {
    SCOPED_TRACE(std::to_string(args.size()) + " arguments");
    std::vector<std::string> argv = {"pixels"};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult r = testing_support::run_bitmapc(argv);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, "usage: bitmapc pixels MANIFEST RUN OUT\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(testing_support::file_exists(t.out));
  }
}

// The committed manifest read and written back: every line that declares a
// run, its words one space apart, comes back from the runs the loader read,
// and each run knows its line.
TEST(Manifest, WritesBackTheLinesItRead) {
  std::vector<std::string> declared;
  std::vector<int> lines;
  std::istringstream text(testing_support::read_file(ART_MANIFEST));
  std::string line;
  for (int number = 1; std::getline(text, line); ++number) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::string word, joined;
    while (words >> word) joined += (joined.empty() ? "" : " ") + word;
    if (joined.empty()) continue;
    declared.push_back(joined);
    lines.push_back(number);
  }
  std::vector<std::string> written;
  std::vector<int> read_lines;
  for (const toolkit::Run& run : testing_support::load_art_manifest().runs) {
    written.push_back(run.name + " " + std::to_string(run.width) + " " + std::to_string(run.height) + " " +
                      std::to_string(run.count) + (run.in_table ? " table" : " outside") +
                      (run.by_artgen ? " artgen " : " hand ") + run.description);
    read_lines.push_back(run.line);
  }
  EXPECT_EQ(written, declared);
  EXPECT_EQ(read_lines, lines);
}

}  // namespace
