#include <gtest/gtest.h>

#include "support/program.h"

namespace kavrel::testing {
namespace {

TEST(Program, PrintsBannerAndUsageWithoutArguments) {
  InstalledProgram program;
  ProgramResult result = program.Run({});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(Lines(result.out).at(0), "---- Kavrel v2.45b ----");
}

}  // namespace
}  // namespace kavrel::testing
