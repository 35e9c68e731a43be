// The probe against the tests' endgame solver on four men: KQKR, KBNK and
// KBBK written as plain and as compressed files, every position probed on
// both colourings.
#include <gtest/gtest.h>

#include "tests/tb_probe_check.h"

namespace {

constexpr int KQKR = 19, KBNK = 25, KBBK = 26;

class ProbeSolvedFourMen : public ::testing::TestWithParam<bool> {};

TEST_P(ProbeSolvedFourMen, EveryPosition) {
  tbcheck::SolvedTables tables;
  ASSERT_TRUE(tables.setUp(GetParam(), {KQKR, KBNK, KBBK}));
  for (int id : {KQKR, KBNK, KBBK}) tbcheck::expectProbesMatchSolver(id, 1);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, ProbeSolvedFourMen, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Compressed" : "Plain"; });

}  // namespace
