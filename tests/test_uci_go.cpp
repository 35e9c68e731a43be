// "go" into the think line: every limit, later keys overriding earlier ones,
// and unusable values reported and clamped instead of ending the process.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "uci/go.h"
#include "uci/reader.h"

namespace {

struct Result {
  std::string think;
  std::string output;
};

Result go(const std::string &line) {
  std::vector<char> buf(line.begin(), line.end());
  buf.push_back(0);
  std::vector<char *> tokens;
  int count = splitTokens(buf.data(), tokens);
  tokens.push_back(nullptr);
  ThinkRequest r;
  testing::internal::CaptureStdout();
  parseGo(line.c_str(), tokens.data(), count, &r);
  Result out;
  out.output = testing::internal::GetCapturedStdout();
  char think[128];
  formatThink(think, sizeof think, &r);
  out.think = think;
  return out;
}

}  // namespace

TEST(GoThink, ClockTimesInMilliseconds) {
  EXPECT_EQ(go("go wtime 60000 btime 60000").think, "think 0 6 60000 60000 0 0 0 0");
  // Fractions of a second are kept: an 80 ms increment, a clock under a second.
  EXPECT_EQ(go("go wtime 60000 btime 59999 winc 1500 binc 999").think, "think 0 6 60000 59999 0 1500 999 0");
  EXPECT_EQ(go("go wtime 950 btime 7999 winc 80 binc 80").think, "think 0 6 950 7999 0 80 80 0");
  EXPECT_EQ(go("go wtime -5000 btime 3000").think, "think 0 6 0 3000 0 0 0 0");
  EXPECT_EQ(go("go wtime 1000 btime 1000 movestogo 40").think, "think 0 6 1000 1000 40 0 0 0");
  EXPECT_EQ(go("go").think, "think 0 6 0 0 0 0 0 0");
}

TEST(GoThink, DepthMoveTimeInfinitePonder) {
  EXPECT_EQ(go("go depth 8").think, "think 0 0 8 8 0 0 0 0");
  EXPECT_EQ(go("go movetime 2500").think, "think 0 4 2500 2500 0 0 0 0");
  EXPECT_EQ(go("go infinite").think, "think 2 1 60 60 0 0 0 0");
  EXPECT_EQ(go("go ponder wtime 10000 btime 9000").think, "think 1 6 10000 9000 0 0 0 0");
  // A later key overrides an earlier one.
  EXPECT_EQ(go("go depth 5 movetime 300").think, "think 0 4 300 300 0 0 0 0");
  EXPECT_EQ(go("go movetime 300 depth 5").think, "think 0 0 5 5 0 0 0 0");
}

TEST(GoThink, FailedChecksAreReportedAndClamped) {
  Result r = go("go binc -1");
  EXPECT_EQ(r.think, "think 0 6 0 0 0 0 0 0");
  EXPECT_EQ(r.output, "info string Error (negative binc): go binc -1\n");
  r = go("go binc -1000");
  EXPECT_EQ(r.think, "think 0 6 0 0 0 0 0 0");
  EXPECT_EQ(r.output, "info string Error (negative binc): go binc -1000\n");
  EXPECT_EQ(go("go winc -5000").output, "info string Error (negative winc): go winc -5000\n");
  r = go("go movestogo -3");
  EXPECT_EQ(r.think, "think 0 6 0 0 0 0 0 0");
  EXPECT_EQ(r.output, "info string Error (negative movestogo): go movestogo -3\n");
  r = go("go depth -2");
  EXPECT_EQ(r.think, "think 0 0 0 0 0 0 0 0");
  EXPECT_EQ(r.output, "info string Error (negative depth): go depth -2\n");
  r = go("go movetime 0");
  EXPECT_EQ(r.think, "think 0 4 1 1 0 0 0 0");
  EXPECT_EQ(r.output, "info string Error (movetime below 1): go movetime 0\n");
}

TEST(GoThink, NumbersSaturate) {
  EXPECT_EQ(go("go wtime 99999999999999 btime 1").think, "think 0 6 2147483647 1 0 0 0 0");
  EXPECT_EQ(go("go movetime 99999999999999").think, "think 0 4 2147483647 2147483647 0 0 0 0");
}

TEST(GoThink, UnsupportedAndMissing) {
  Result r = go("go nodes 1000");
  EXPECT_EQ(r.think, "think 0 6 0 0 0 0 0 0");
  EXPECT_EQ(r.output, "info string Error (unsupported option nodes): go nodes 1000\n");
  EXPECT_EQ(go("go mate 3 depth 4").think, "think 0 0 4 4 0 0 0 0");
  r = go("go searchmoves e2e4 d2d4 depth 3");
  EXPECT_EQ(r.think, "think 0 0 3 3 0 0 0 0");
  EXPECT_EQ(r.output, "info string Error (unsupported option searchmoves): go searchmoves e2e4 d2d4 depth 3\n");
  r = go("go depth 6 wtime");
  EXPECT_EQ(r.think, "think 0 0 6 6 0 0 0 0") << "a missing value keeps the start value";
  EXPECT_EQ(r.output, "info string Error (missing argument): go depth 6 wtime\n");
  EXPECT_EQ(go("go mate").output, "info string Error (unsupported option mate): go mate\n"
                                  "info string Error (missing argument): go mate\n");
  EXPECT_EQ(go("go foo bar").think, "think 0 6 0 0 0 0 0 0");
}
