// The art manifest the build uses (ART_MANIFEST), loaded for a test; a
// manifest that does not load fails the test that asked for it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "manifest.h"

#ifndef ART_MANIFEST
#error "ART_MANIFEST must name bitmaps/art/manifest.txt"
#endif

namespace testing_support {

inline toolkit::Manifest load_art_manifest() {
  toolkit::Manifest manifest;
  std::string error;
  EXPECT_TRUE(toolkit::load_manifest(ART_MANIFEST, manifest, error)) << error;
  return manifest;
}

}  // namespace testing_support
