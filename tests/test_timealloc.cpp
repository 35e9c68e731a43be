// Time allocation for every clock mode, with the documented rows and the
// large-clock rows that overflow 32-bit arithmetic.
#include <climits>
#include <gtest/gtest.h>

#include "engine/board/game/game.h"
#include "engine/search/root/driver.h"
#include "engine/search/root/timealloc.h"

namespace {

struct Allocation {
  int soft, hard, target;
};

Allocation allocate(int mode, int a, int b, int c, int d, int moveNumber, int usedMs) {
  timeControl = TimeControl{mode, a, b, c, d};
  gameRecord.moveNumber = moveNumber;
  allocateTime(usedMs);
  return {softTimeMs, hardTimeMs, targetTimeMs};
}

void expectAllocation(Allocation got, int soft, int hard, int target) {
  EXPECT_EQ(got.soft, soft);
  EXPECT_EQ(got.hard, hard);
  EXPECT_EQ(got.target, target);
}

TEST(TimeAllocation, SecondsPerMoveAndFixedTime) {
  expectAllocation(allocate(1, 5, 0, 0, 0, 1, 0), 40000, 40000, 5000);
  expectAllocation(allocate(4, 1500, 0, 0, 0, 1, 0), 1500, 1500, 1000);
  // Three quarters of a second truncates to 0 whole seconds: target held at 1.
  expectAllocation(allocate(4, 1000, 0, 0, 0, 1, 0), 1000, 1000, 1);
  expectAllocation(allocate(4, 1, 0, 0, 0, 1, 0), 1, 1, 1);
}

TEST(TimeAllocation, NoLimit) {
  expectAllocation(allocate(0, 7, 0, 0, 0, 1, 0), 0, 0, 1);
  expectAllocation(allocate(9, 60, 20, 0, 0, 1, 12345), 0, 0, 1);
  expectAllocation(allocate(-3, 60, 20, 0, 0, 1, 0), 0, 0, 1);
}

TEST(TimeAllocation, MovesToGo) {
  // Mode 6: the clock value is the time left in milliseconds; used time is
  // not subtracted.
  expectAllocation(allocate(6, 60000, 0, 0, 0, 1, 50000), 10000, 24000, 1875);
  expectAllocation(allocate(6, 60000, 20, 0, 0, 1, 0), 13200, 24000, 2857);
  // One move to go: soft 3R/5, Z R/2, hard 2R/5 -> hard becomes the soft time.
  expectAllocation(allocate(6, 10000, 1, 0, 0, 1, 0), 6000, 6000, 5000);
  // A clock under one second still gets its share, not the 1 ms floor.
  expectAllocation(allocate(6, 960, 0, 0, 0, 60, 0), 160, 384, 30);
  expectAllocation(allocate(6, 7999, 0, 0, 0, 1, 0), 1333, 3199, 249);
  expectAllocation(allocate(6, 0, 0, 0, 0, 1, 0), 0, 0, 1);
}

TEST(TimeAllocation, RepeatingControl) {
  // 40 moves in 100 s, then 20 s per 10 moves; 30 s used so far.
  // Move 11: e = 40 - 11 + 1 = 30, R = 70000.
  expectAllocation(allocate(5, 100, 40, 20, 10, 11, 30000), 32 * 70000 / 150, 28000, 70000 / 31);
  // Move 45: past the first control, (45 - 40 + 9) / 10 = 1 extra period,
  // R = 120000 - 30000, e = 10 - (4 mod 10) = 6.
  expectAllocation(allocate(5, 100, 40, 20, 10, 45, 30000), 8 * 90000 / 30, 36000, 90000 / 7);
  // No moves count: R = a - used, e = 0.
  expectAllocation(allocate(5, 100, 0, 0, 0, 5, 4000), 96000 / 6, 2 * 96000 / 5, 96000 / 32);
  // Past the first control without a period: R = (a + c) * 1000 - used.
  expectAllocation(allocate(5, 100, 40, 20, 0, 41, 0), 120000 / 6, 48000, 120000 / 32);
}

TEST(TimeAllocation, SuddenDeath) {
  expectAllocation(allocate(2, 60, 0, 0, 0, 1, 0), 9666, 23200, 967);
  // Past move 30 the share is (R - 2000) / 32.
  expectAllocation(allocate(2, 60, 0, 0, 0, 31, 20000), 38000 / 6, 2 * 38000 / 5, 38000 / 32);
}

TEST(TimeAllocation, IncrementAddsFourToSoftOneToTarget) {
  // Move 40, 60 s base, 2 s increment, 100 s used: U = 100000 - 80000 = 20000, R = 40000.
  Allocation got = allocate(3, 60, 2, 0, 0, 40, 100000);
  int o = (40000 - 2000) / 32;
  EXPECT_EQ(got.soft, 38000 / 6 + 8000);
  EXPECT_EQ(got.hard, (80000 - 4000) / 5);
  EXPECT_EQ(got.target, 2000 + o);
  // The same clock without the increment gives four increments less soft time.
  Allocation plain = allocate(2, 60, 0, 0, 0, 40, 20000);
  EXPECT_EQ(got.soft - plain.soft, 4 * 2000);
  EXPECT_EQ(got.target - plain.target, 2000);
}

TEST(TimeAllocation, AlmostNoTimeLeft) {
  // 60 s clock with 59.5 s used: negative shares, the target stays at 1.
  Allocation got = allocate(2, 60, 0, 0, 0, 10, 59500);
  EXPECT_LE(got.soft, 0);
  EXPECT_EQ(got.target, 1);
}

TEST(TimeAllocation, LargeClocksDoNotWrap) {
  // Mode 1 with 300000 s per move: 300000 * 8000 exceeds int32.
  expectAllocation(allocate(1, 300000, 0, 0, 0, 1, 0), INT32_MAX, INT32_MAX, 300000000);
  // Mode 6 with the largest clock: (e + 2) * R overflows 32 bits but not 64.
  Allocation got = allocate(6, INT32_MAX, 40, 0, 0, 1, 0);
  EXPECT_EQ(got.soft, (int)(42LL * INT32_MAX / 200));
  EXPECT_EQ(got.hard, (int)(2LL * INT32_MAX / 5));
  EXPECT_EQ(got.target, (int)(INT32_MAX / 41));
  // Sudden death with a clock near the int32 limit in ms.
  got = allocate(2, 2000000, 0, 0, 0, 1, 0);
  EXPECT_GT(got.soft, 0);
  EXPECT_GT(got.hard, 0);
  EXPECT_EQ(got.hard, (int)((4000000000LL - 4000) / 5));
  EXPECT_GE(got.hard, got.soft);
  // Seconds beyond int32 milliseconds clamp instead of going negative.
  got = allocate(3, INT32_MAX, 0, 0, 0, 1, 0);
  EXPECT_EQ(got.hard, INT32_MAX);
  EXPECT_GT(got.soft, 0);
  EXPECT_GT(got.target, 0);
}

}  // namespace
