// bitmapc pixels MANIFEST RUN OUT: every bitmap of one run, in order, as
// RGB565 pixels, each pixel high byte first, rows top to bottom, no padding.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "manifest.h"
#include "png_io.h"
#include "output_file.h"
#include "shown_name.h"

namespace bitmapc {
namespace {

std::string run_folder(const art::Manifest& manifest, const art::Run& run) {
  const std::string first = art::bitmap_path(manifest, run, 0);
  return first.substr(0, first.find_last_of('/'));
}

std::string file_name(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// "run 'bolt' has 30 bitmaps, 00.png to 29.png"
std::string run_files(const art::Manifest& manifest, const art::Run& run) {
  const std::string first = file_name(art::bitmap_path(manifest, run, 0));
  if (run.count == 1) return "1 bitmap, " + first;
  return std::to_string(run.count) + " bitmaps, " + first + " to " +
         file_name(art::bitmap_path(manifest, run, run.count - 1));
}

// The run's folder holds exactly its bitmaps: a picture left out or one too
// many means the manifest and the art disagree, and either would silently
// shift every bitmap after it.
bool check_folder(const art::Manifest& manifest, const art::Run& run, std::string& error) {
  const std::string folder = run_folder(manifest, run);
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    error = art::shown_name(folder) + ": cannot open the folder of run '" + run.name + "': " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> pngs;
  int saved = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (!entry) {
      saved = errno;
      break;
    }
    const std::string name = entry->d_name;
    if (ends_with(name, ".png")) pngs.push_back(name);
  }
  closedir(dir);
  if (saved != 0) {
    error = art::shown_name(folder) + ": cannot list the folder of run '" + run.name + "': " + std::strerror(saved);
    return false;
  }
  std::sort(pngs.begin(), pngs.end());

  std::vector<std::string> expected;
  for (int i = 0; i < run.count; ++i) expected.push_back(file_name(art::bitmap_path(manifest, run, i)));
  for (int i = 0; i < run.count; ++i) {
    if (!std::binary_search(pngs.begin(), pngs.end(), expected[static_cast<size_t>(i)])) {
      error = art::shown_name(art::bitmap_path(manifest, run, i)) + ": missing: run '" + run.name + "' has " +
              run_files(manifest, run);
      return false;
    }
  }
  for (const std::string& name : pngs) {
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
      error = art::shown_name(folder + "/" + name) + ": not part of run '" + run.name + "', which has " +
              run_files(manifest, run);
      return false;
    }
  }
  return true;
}

bool convert_run(const std::string& manifest_path, const std::string& run_name, const std::string& out_path,
                 std::string& error) {
  art::Manifest manifest;
  if (!art::load_manifest(manifest_path, manifest, error)) return false;
  const art::Run* run = manifest.find(run_name);
  if (!run) {
    error = art::shown_name(manifest_path) + ": no run named '" + run_name + "'";
    return false;
  }
  if (!check_folder(manifest, *run, error)) return false;

  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(run->width) * static_cast<size_t>(run->height) * 2 *
                static_cast<size_t>(run->count));
  for (int i = 0; i < run->count; ++i) {
    const std::string path = art::bitmap_path(manifest, *run, i);
    art::Image565 image;
    if (!art::read_png(path, image, error)) return false;
    if (image.width != run->width || image.height != run->height) {
      error = art::shown_name(path) + ": is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
              ", run '" + run->name + "' takes " + std::to_string(run->width) + " x " + std::to_string(run->height) +
              " bitmaps";
      return false;
    }
    art::append_bytes(image, bytes);
  }
  return art::write_output(out_path, {{bytes.data(), bytes.size()}}, error);
}

}  // namespace

int pixels_command(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bitmapc pixels MANIFEST RUN OUT\n");
    return 2;
  }
  const std::string out_path = argv[2];
  std::string error;
  if (convert_run(argv[0], argv[1], out_path, error)) return 0;
  // An output left from an earlier build must not pass for this one's.
  // unlink, not remove: OUT given as a folder stays.
  if (unlink(out_path.c_str()) != 0 && errno != ENOENT)
    error += "; and the old " + art::shown_name(out_path) + " could not be removed: " + std::strerror(errno);
  std::fprintf(stderr, "bitmapc: %s\n", error.c_str());
  return 1;
}

}  // namespace bitmapc
