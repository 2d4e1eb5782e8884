// The art converter as a process, the way its tests run it. A test
// executable that includes this names the program with BITMAPC_PATH.
#pragma once

#include <string>
#include <vector>

#include "process.h"

#ifndef BITMAPC_PATH
#error "BITMAPC_PATH must name the bitmapc executable"
#endif

namespace testing_support {

inline ProcessResult run_bitmapc(std::vector<std::string> args, const std::string& cwd = ".") {
  args.insert(args.begin(), BITMAPC_PATH);
  return run_process(args, cwd);
}

}  // namespace testing_support
