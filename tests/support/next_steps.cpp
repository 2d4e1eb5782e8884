#include "next_steps.h"

#include <cstdio>

#include "manifest.h"

namespace testing_support {
namespace {

// Quoted for a POSIX shell when it holds anything but plain path characters.
std::string shell_word(const std::string& s) {
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '.' ||
          c == '_' || c == '-')) {
      std::string quoted = "'";
      for (char q : s) quoted += q == '\'' ? std::string("'\\''") : std::string(1, q);
      return quoted + "'";
    }
  return s;
}

std::string in_source_tree(const std::string& command) { return "cd " + shell_word(SOURCE_DIR) + " && " + command; }

std::string art_dir() {
  const std::string manifest = ART_MANIFEST;
  return manifest.substr(0, manifest.find_last_of('/'));
}

// An RGB565 value and the colour an image editor shows for it.
std::string colour(uint16_t p) {
  char text[24];
  std::snprintf(text, sizeof text, "%04X (#%02X%02X%02X)", p, toolkit::red8(p), toolkit::green8(p), toolkit::blue8(p));
  return text;
}

}  // namespace

std::string in_tree(const std::string& path) {
  const std::string root = std::string(SOURCE_DIR) + "/";
  return path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
}

std::string art_file(const std::string& run, int index) {
  toolkit::Manifest manifest;
  manifest.path = ART_MANIFEST;
  toolkit::Run r;
  r.name = run;
  return in_tree(toolkit::bitmap_path(manifest, r, index));
}

std::string refresh_golden_command() {
  return in_source_tree("UPDATE_GOLDEN=1 " + shell_word(in_tree(CATALOGUE_TEST_PATH)) +
                        " --gtest_filter=Catalogue.MatchesTheGoldenTable");
}

std::string art_test_command() {
  return in_source_tree(shell_word(in_tree(ART_TEST_PATH)) +
                        " --gtest_filter=Art.TheDrawingProgramReproducesTheCommittedPictures");
}

namespace {

// artgen over the manifest, drawing one run into the art folder.
std::string artgen_words(const std::string& run) {
  return shell_word(in_tree(ARTGEN_PATH)) + " " + shell_word(in_tree(ART_MANIFEST)) + " " +
         shell_word(in_tree(art_dir())) + " " + shell_word(run);
}

}  // namespace

std::string regenerate_command(const std::string& run) { return in_source_tree(artgen_words(run)); }

std::string rewrite_command(const std::string& run) {
  return in_source_tree("rm " + shell_word(in_tree(art_dir()) + "/" + run) + "/*.png && " + artgen_words(run));
}

std::string drawing_difference(const toolkit::Image565& file, const toolkit::Image565& drawing) {
  if (file.width != drawing.width || file.height != drawing.height)
    return "the file is " + std::to_string(file.width) + " x " + std::to_string(file.height) + ", artgen draws " +
           std::to_string(drawing.width) + " x " + std::to_string(drawing.height);
  int differing = 0;
  std::string first;
  for (int y = 0; y < file.height; ++y)
    for (int x = 0; x < file.width; ++x)
      if (file.at(x, y) != drawing.at(x, y) && differing++ == 0)
        first = "(" + std::to_string(x) + ", " + std::to_string(y) + "): the file has " + colour(file.at(x, y)) +
                ", artgen draws " + colour(drawing.at(x, y));
  if (differing == 0) return "";
  return std::to_string(differing) + (differing == 1 ? " pixel differs, at " : " pixels differ, the first at ") +
         first;
}


}  // namespace testing_support
