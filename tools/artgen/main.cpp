// artgen: draws the catalogue's art. `artgen --help` says how to use it.
//
// Drawing is deterministic, so running it over bitmaps/art reproduces the
// committed files pixel for pixel. Runs the manifest marks as drawn by hand
// are never drawn: their pictures are edited in an image editor.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "contact_sheet.h"
#include "manifest.h"
#include "png_io.h"
#include "runs.h"
#include "shown_name.h"

namespace {

const char kUsage[] = "usage: artgen [--sheet] MANIFEST OUT_DIR [RUN ...]\n";

const char kHelp[] =
    "\n"
    "Draws the catalogue's art, the runs of MANIFEST whose \"drawn\" column says\n"
    "\"artgen\", as OUT_DIR/<run>/00.png, 01.png, ... With bitmaps/art/manifest.txt\n"
    "and bitmaps/art it regenerates the committed art.\n"
    "\n"
    "  RUN ...     draw only the runs named (default: every run artgen draws)\n"
    "  --sheet     instead of the art, write OUT_DIR/<run>.png: every bitmap of\n"
    "              the run side by side at 3x, to look at while drawing\n"
    "  -h, --help  print this help\n"
    "\n"
    "A PNG whose pixels are already the drawing's is left untouched, so the\n"
    "build does not convert its run again; each run says what was written and\n"
    "what was left. Runs drawn by hand (\"hand\" in the manifest) are left\n"
    "alone, and naming one is refused: artgen never overwrites a picture edited\n"
    "in an image editor. A caption with a character the 5 x 7 capitals lack\n"
    "stops it, naming the run and the character.\n"
    "\n"
    "Exit status: 0 done, 1 failed (one line on standard error), 2 usage error.\n"
    "\n"
    "  artgen bitmaps/art/manifest.txt bitmaps/art smoke\n"
    "  artgen --sheet bitmaps/art/manifest.txt /tmp/sheets smoke\n";

bool make_dir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

// The sheet to look at while drawing: the frames at 3x on dark grey, ten
// full screens or thirteen smaller pictures to a row, unlabelled.
toolkit::Image565 drawing_sheet(const std::vector<toolkit::Image565>& frames) {
  const int per_row = frames[0].width > 50 ? 10 : 13;
  return toolkit::contact_sheet(frames, {}, {3, 2, std::min(per_row, static_cast<int>(frames.size())), 0x4208});
}

// True when path is a PNG that already shows exactly these pixels.
bool already_drawn(const std::string& path, const toolkit::Image565& image) {
  toolkit::Image565 existing;
  std::string ignored;  // unreadable or absent: it is written
  return toolkit::read_png(path, existing, ignored) && existing.width == image.width &&
         existing.height == image.height && existing.pixels == image.pixels;
}

// "smoke: 10.png written, 53 left as they were": what was written, naming up
// to a few files, and how many were left.
std::string run_report(const std::string& run, const std::vector<std::string>& written, int left) {
  const size_t named = 4;
  std::string names;
  for (size_t i = 0; i < written.size() && i < named; ++i) names += (i ? ", " : "") + written[i];
  if (written.size() > named) names = std::to_string(written.size()) + " (" + names + ", ...)";
  std::string report = run + ": ";
  if (!written.empty()) report += names + " written" + (left ? ", " : "");
  if (left) report += std::to_string(left) + " left as they were";
  return report;
}

// Standard output is the report: when it cannot be written, the run fails.
bool flush_report() {
  if (std::fflush(stdout) == 0) return true;
  std::fprintf(stderr, "artgen: standard output: %s\n", std::strerror(errno));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  if (arg < argc && (std::strcmp(argv[arg], "--help") == 0 || std::strcmp(argv[arg], "-h") == 0)) {
    std::printf("%s%s", kUsage, kHelp);
    return flush_report() ? 0 : 1;
  }
  bool sheet = arg < argc && std::strcmp(argv[arg], "--sheet") == 0;
  if (sheet) ++arg;
  if (argc - arg < 2 || argv[arg][0] == '-') {
    std::fprintf(stderr, "%sartgen --help says more\n", kUsage);
    return 2;
  }
  toolkit::Manifest manifest;
  std::string error;
  if (!toolkit::load_manifest(argv[arg], manifest, error)) {
    std::fprintf(stderr, "artgen: %s\n", error.c_str());
    return 1;
  }
  std::string out_dir = argv[arg + 1];
  std::vector<std::string> wanted(argv + arg + 2, argv + argc);
  for (const std::string& name : wanted) {
    const toolkit::Run* run = manifest.find(name);
    if (!run) {
      std::fprintf(stderr, "artgen: %s: no run named '%s'\n", toolkit::shown_name(manifest.path).c_str(), name.c_str());
      return 1;
    }
    if (!run->by_artgen) {
      std::fprintf(stderr, "artgen: %s:%d: run '%s' is drawn by hand; artgen does not overwrite it\n",
                   toolkit::shown_name(manifest.path).c_str(), run->line, name.c_str());
      return 1;
    }
  }
  if (!make_dir(out_dir)) {
    std::fprintf(stderr, "artgen: %s: %s\n", toolkit::shown_name(out_dir).c_str(), std::strerror(errno));
    return 1;
  }
  for (const toolkit::Run& run : manifest.runs) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), run.name) == wanted.end()) continue;
    if (!run.by_artgen) {
      std::printf("%s: drawn by hand, left alone\n", run.name.c_str());
      continue;
    }
    const art::RunDrawer* drawer = art::find_drawer(run.name);
    if (!drawer) {
      std::fprintf(stderr, "artgen: %s:%d: no drawer for run '%s'\n", toolkit::shown_name(manifest.path).c_str(), run.line,
                   run.name.c_str());
      return 1;
    }
    std::vector<toolkit::Image565> frames(static_cast<size_t>(run.count));
    for (int i = 0; i < run.count; ++i)
      if (!art::draw_bitmap(*drawer, run, i, frames[static_cast<size_t>(i)], error)) {
        std::fprintf(stderr, "artgen: %s\n", error.c_str());
        return 1;
      }
    if (sheet) {
      const std::string path = out_dir + "/" + run.name + ".png";
      if (!toolkit::write_png(path, drawing_sheet(frames), error)) {
        std::fprintf(stderr, "artgen: %s\n", error.c_str());
        return 1;
      }
      std::printf("%s: sheet %s written\n", run.name.c_str(), toolkit::shown_name(path).c_str());
      continue;
    }
    std::string run_dir = out_dir + "/" + run.name;
    if (!make_dir(run_dir)) {
      std::fprintf(stderr, "artgen: %s: %s\n", toolkit::shown_name(run_dir).c_str(), std::strerror(errno));
      return 1;
    }
    std::vector<std::string> written;
    int left = 0;
    for (int i = 0; i < run.count; ++i) {
      char file[16];
      std::snprintf(file, sizeof file, "%02d.png", i);
      const std::string path = run_dir + "/" + file;
      const toolkit::Image565& image = frames[static_cast<size_t>(i)];
      if (already_drawn(path, image)) {
        ++left;
        continue;
      }
      if (!toolkit::write_png(path, image, error)) {
        std::fprintf(stderr, "artgen: %s\n", error.c_str());
        return 1;
      }
      written.push_back(file);
    }
    std::printf("%s\n", run_report(run.name, written, left).c_str());
  }
  return flush_report() ? 0 : 1;
}
