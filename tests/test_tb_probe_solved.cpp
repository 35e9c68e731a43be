// The probe against the tests' endgame solver: tables written from the solved
// values through the system's index functions, as plain and as compressed
// files, give back every three-man value, for both colourings (the four-man
// tables are checked in the slow set).
#include <gtest/gtest.h>

#include "tests/tb_probe_check.h"

namespace {

constexpr int KPK = 1, KRK = 4, KQK = 5;

class ProbeSolved : public ::testing::TestWithParam<bool> {};

TEST_P(ProbeSolved, ThreeMenEveryPosition) {
  tbcheck::SolvedTables tables;
  ASSERT_TRUE(tables.setUp(GetParam(), {KPK, KRK, KQK}));
  for (int id : {KPK, KRK, KQK}) tbcheck::expectProbesMatchSolver(id, 1);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, ProbeSolved, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Compressed" : "Plain"; });

}  // namespace
