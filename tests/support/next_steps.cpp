#include "next_steps.h"

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

}  // namespace

std::string in_tree(const std::string& path) {
  const std::string root = std::string(SOURCE_DIR) + "/";
  return path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
}

std::string art_file(const std::string& run, int index) {
  art::Manifest manifest;
  manifest.path = ART_MANIFEST;
  art::Run r;
  r.name = run;
  return in_tree(art::bitmap_path(manifest, r, index));
}

std::string refresh_golden_command() {
  return in_source_tree("UPDATE_GOLDEN=1 " + shell_word(in_tree(CATALOGUE_TEST_PATH)) +
                        " --gtest_filter=Catalogue.MatchesTheGoldenTable");
}

std::string regenerate_command(const std::string& run) {
  return in_source_tree(shell_word(in_tree(ARTGEN_PATH)) + " " + shell_word(in_tree(ART_MANIFEST)) + " " +
                        shell_word(in_tree(art_dir())) + " " + shell_word(run));
}

}  // namespace testing_support
