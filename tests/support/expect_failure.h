// The programs' way of failing, as the tests expect it: exit status 1 (not
// a signal), nothing on standard output, and exactly err on standard error.
// Apart from process.h, which builds without GoogleTest.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "process.h"

namespace testing_support {

// shown names the case in a failure message.
inline void expect_failure(const ProcessResult& r, const std::string& err, const std::string& shown) {
  EXPECT_EQ(r.exit_status, 1) << shown;
  EXPECT_EQ(r.signal, 0) << shown;
  EXPECT_EQ(r.out, "") << shown;
  EXPECT_EQ(r.err, err) << shown;
}

}  // namespace testing_support
