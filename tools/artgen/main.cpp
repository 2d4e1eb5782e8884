// artgen: draws the catalogue's art.
//
//   artgen MANIFEST OUT_DIR [RUN ...]
//       writes OUT_DIR/<run>/00.png ... for every run of the manifest (or the
//       runs named), the files the build converts into pixel arrays.
//   artgen --sheet MANIFEST OUT_DIR [RUN ...]
//       writes OUT_DIR/<run>.png, all frames of a run side by side at 3x,
//       for looking at the art while drawing it.
//
// Drawing is deterministic, so running it over bitmaps/art reproduces the
// committed files pixel for pixel.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "manifest.h"
#include "png_io.h"
#include "runs.h"

namespace {

bool make_dir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

art::Image565 contact_sheet(const std::vector<art::Image565>& frames, int scale) {
  const int gap = 2, per_row = frames[0].width > 50 ? 10 : 13;
  int cols = std::min(per_row, static_cast<int>(frames.size()));
  int rows = (static_cast<int>(frames.size()) + cols - 1) / cols;
  int cw = frames[0].width * scale + gap, ch = frames[0].height * scale + gap;
  art::Image565 sheet(cols * cw + gap, rows * ch + gap, 0x4208);
  for (size_t i = 0; i < frames.size(); ++i) {
    int ox = gap + static_cast<int>(i) % cols * cw, oy = gap + static_cast<int>(i) / cols * ch;
    for (int y = 0; y < frames[i].height * scale; ++y)
      for (int x = 0; x < frames[i].width * scale; ++x) sheet.at(ox + x, oy + y) = frames[i].at(x / scale, y / scale);
  }
  return sheet;
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  bool sheet = arg < argc && std::strcmp(argv[arg], "--sheet") == 0;
  if (sheet) ++arg;
  if (argc - arg < 2) {
    std::fprintf(stderr, "usage: artgen [--sheet] MANIFEST OUT_DIR [RUN ...]\n");
    return 2;
  }
  art::Manifest manifest;
  std::string error;
  if (!art::load_manifest(argv[arg], manifest, error)) {
    std::fprintf(stderr, "artgen: %s\n", error.c_str());
    return 1;
  }
  std::string out_dir = argv[arg + 1];
  std::vector<std::string> wanted(argv + arg + 2, argv + argc);
  for (const std::string& name : wanted)
    if (!manifest.find(name)) {
      std::fprintf(stderr, "artgen: %s: no run named '%s'\n", manifest.path.c_str(), name.c_str());
      return 1;
    }
  if (!make_dir(out_dir)) {
    std::fprintf(stderr, "artgen: %s: %s\n", out_dir.c_str(), std::strerror(errno));
    return 1;
  }
  for (const art::Run& run : manifest.runs) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), run.name) == wanted.end()) continue;
    const art::RunDrawer* drawer = art::find_drawer(run.name);
    if (!drawer) {
      std::fprintf(stderr, "artgen: %s:%d: no drawer for run '%s'\n", manifest.path.c_str(), run.line,
                   run.name.c_str());
      return 1;
    }
    std::vector<art::Image565> frames;
    for (int i = 0; i < run.count; ++i) {
      frames.push_back(drawer->draw(i, run.count, run.width, run.height));
      const art::Image565& image = frames.back();
      if (image.width != run.width || image.height != run.height ||
          image.pixels.size() != static_cast<size_t>(run.width * run.height)) {
        std::fprintf(stderr, "artgen: run '%s' drew bitmap %d at %dx%d, the manifest says %dx%d\n",
                     run.name.c_str(), i, image.width, image.height, run.width, run.height);
        return 1;
      }
    }
    if (sheet) {
      if (!art::write_png(out_dir + "/" + run.name + ".png", contact_sheet(frames, 3), error)) {
        std::fprintf(stderr, "artgen: %s\n", error.c_str());
        return 1;
      }
      continue;
    }
    std::string run_dir = out_dir + "/" + run.name;
    if (!make_dir(run_dir)) {
      std::fprintf(stderr, "artgen: %s: %s\n", run_dir.c_str(), std::strerror(errno));
      return 1;
    }
    for (int i = 0; i < run.count; ++i) {
      char file[16];
      std::snprintf(file, sizeof file, "/%02d.png", i);
      if (!art::write_png(run_dir + file, frames[static_cast<size_t>(i)], error)) {
        std::fprintf(stderr, "artgen: %s\n", error.c_str());
        return 1;
      }
    }
  }
  return 0;
}
