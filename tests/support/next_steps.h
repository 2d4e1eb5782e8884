// What a failing art test tells its reader: how a file differs from the
// drawing, and what to do next: exact commands, each runnable as printed from
// any folder, and files named as they sit in the source tree.
#pragma once

#include <string>

#include "rgb565.h"

namespace testing_support {

// The path relative to the source tree when it lies inside it, else as given.
std::string in_tree(const std::string& path);

// "bitmaps/art/smoke/10.png": bitmap `index` of a run, as it sits in the tree.
std::string art_file(const std::string& run, int index);

// "cd <source tree> && UPDATE_GOLDEN=1 <build>/tests/catalogue_test ...":
// rewrites the golden table from the bitmaps the program now carries.
std::string refresh_golden_command();

// "cd <source tree> && <build>/tools/artgen <manifest> <art dir> <run>":
// redraws the run's files from its drawer.
std::string regenerate_command(const std::string& run);

// "cd <source tree> && <build>/tests/art_test --gtest_filter=...": the art
// test that compares the committed files with the drawing and says what to do.
std::string art_test_command();

// "cd <source tree> && rm <art dir>/<run>/*.png && <build>/tools/artgen ...":
// writes every file of the run anew, as artgen encodes it (artgen alone
// leaves a file alone while its pixels are right).
std::string rewrite_command(const std::string& run);

// "" when the committed file shows the drawing, else one line: how many
// pixels differ and the first of them, each value labelled with its source.
std::string drawing_difference(const toolkit::Image565& file, const toolkit::Image565& drawing);

}  // namespace testing_support
