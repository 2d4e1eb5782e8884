// bitmapc pixels MANIFEST RUN OUT: every bitmap of one run, in order, as
// RGB565 pixels, each pixel high byte first, rows top to bottom, no padding.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap.h"
#include "commands.h"
#include "manifest.h"
#include "png_io.h"
#include "output_file.h"
#include "shown_name.h"

namespace bitmapc {
namespace {

bool convert_run(const std::string& manifest_path, const std::string& run_name, const std::string& out_path,
                 std::string& error) {
  toolkit::Manifest manifest;
  if (!toolkit::load_manifest(manifest_path, manifest, error)) return false;
  const toolkit::Run* run = manifest.find(run_name);
  if (!run) {
    error = toolkit::shown_name(manifest_path) + ": no run named '" + run_name + "'";
    return false;
  }
  if (!toolkit::check_run_files(manifest, *run, error) || !toolkit::check_art_files(manifest, error)) return false;

  std::vector<uint8_t> bytes;
  bytes.reserve(size_t{bitmap_bytes(*run)} * static_cast<size_t>(run->count));
  for (int i = 0; i < run->count; ++i) {
    const std::string path = toolkit::bitmap_path(manifest, *run, i);
    toolkit::Image565 image;
    if (!toolkit::read_png(path, image, error)) return false;
    if (image.width != run->width || image.height != run->height) {
      error = toolkit::shown_name(path) + ": is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
              ", run '" + run->name + "' takes " + std::to_string(run->width) + " x " + std::to_string(run->height) +
              " bitmaps";
      return false;
    }
    toolkit::append_bytes(image, bytes);
  }
  return toolkit::write_output(out_path, {{bytes.data(), bytes.size()}}, error);
}

}  // namespace

uint32_t bitmap_bytes(const toolkit::Run& run) {
  // The manifest keeps width and height from 1 to 255, as the record holds them.
  const sBITMAP record{static_cast<uint8_t>(run.width), static_cast<uint8_t>(run.height), nullptr};
  return bitmap_byte_size(&record);
}

int pixels_command(char** operands) {
  const std::string out_path = operands[2];
  std::string error;
  if (convert_run(operands[0], operands[1], out_path, error)) return 0;
  // An output left from an earlier build must not pass for this one's.
  // unlink, not remove: OUT given as a folder stays.
  if (unlink(out_path.c_str()) != 0 && errno != ENOENT)
    error += "; and the old " + toolkit::shown_name(out_path) + " could not be removed: " + std::strerror(errno);
  std::fprintf(stderr, "bitmapc: %s\n", error.c_str());
  return 1;
}

}  // namespace bitmapc
