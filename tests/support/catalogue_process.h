// The catalogue command as a process, the way its tests run it. A test
// executable that includes this names the program with CATALOGUE_PATH.
#pragma once

#include <string>
#include <vector>

#include "process.h"

#ifndef CATALOGUE_PATH
#error "CATALOGUE_PATH must name the catalogue executable"
#endif

namespace testing_support {

inline ProcessResult run_catalogue(std::vector<std::string> args, const ProcessOptions& options = {}) {
  args.insert(args.begin(), CATALOGUE_PATH);
  return run_process(args, options);
}

}  // namespace testing_support
