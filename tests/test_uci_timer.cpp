// The program's timer thread and the module's two timers on it.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "platform/timer.h"
#include "uci/state.h"
#include "uci/timers.h"

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<int> fired{0};
std::atomic<int64_t> firedAtMs{0};
Clock::time_point origin;

void countFire() {
  firedAtMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin).count();
  fired++;
}

std::atomic<int> slowRunning{0};
std::atomic<int> slowDone{0};
void slowCallback() {
  slowRunning = 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  slowDone = 1;
  slowRunning = 0;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits until `count` has reached n (a loaded machine may run a timer late);
// gives up after two seconds. Returns the count.
int waitForCount(const std::atomic<int> &count, int n) {
  for (int waited = 0; count < n && waited < 2000; waited += 5) sleepMs(5);
  return count;
}

struct TimerTest : ::testing::Test {
  void SetUp() override {
    fired = 0;
    firedAtMs = 0;
    origin = Clock::now();
    engineOps.timerExpired = countFire;
  }
  void TearDown() override {
    setTimer(0);
    engineOps.timerExpired = nullptr;
  }
};

}  // namespace

TEST_F(TimerTest, SoftTimerFiresOnceAfterItsDelay) {
  setTimer(120);
  sleepMs(60);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(waitForCount(fired, 1), 1);
  EXPECT_GE(firedAtMs, 115);
  sleepMs(150);
  EXPECT_EQ(fired, 1) << "one-shot";
}

TEST_F(TimerTest, HardTimerIsArmedByANegativeArgument) {
  setTimer(-80);
  EXPECT_TRUE(timerArmed(HARD_TIMER_SLOT));
  EXPECT_FALSE(timerArmed(SOFT_TIMER_SLOT));
  EXPECT_EQ(waitForCount(fired, 1), 1);
  EXPECT_GE(firedAtMs, 75);
}

TEST_F(TimerTest, SoftAndHardFireIndependently) {
  setTimer(50);
  setTimer(-150);
  EXPECT_EQ(waitForCount(fired, 2), 2);
}

TEST_F(TimerTest, ReArmingReplacesTheArmedTimer) {
  setTimer(60);
  setTimer(200);  // replaces: the 60 ms expiry never comes
  sleepMs(130);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(waitForCount(fired, 1), 1);
  EXPECT_GE(firedAtMs, 195);
}

TEST_F(TimerTest, CancelLeavesNoStrayExpiry) {
  setTimer(0);  // nothing armed: nothing happens
  setTimer(80);
  setTimer(-90);
  setTimer(0);
  EXPECT_FALSE(timerArmed(SOFT_TIMER_SLOT));
  EXPECT_FALSE(timerArmed(HARD_TIMER_SLOT));
  sleepMs(250);
  EXPECT_EQ(fired, 0);
}

TEST(TimerThread, CancelWaitsForARunningCallback) {
  slowRunning = 0;
  slowDone = 0;
  ASSERT_EQ(timerArm(2, 10, slowCallback), 0);
  while (!slowRunning) sleepMs(1);
  timerCancel(2);
  EXPECT_EQ(slowDone, 1) << "cancel returned while the callback was still running";
}

namespace {
std::atomic<int> chainFired{0};
void chainSecond() { chainFired++; }
void chainFirst() {
  chainFired++;
  timerArm(3, 30, chainSecond);  // arming from a callback (the module's extension)
}
}  // namespace

TEST(TimerThread, ACallbackMayArmAnotherTimer) {
  chainFired = 0;
  ASSERT_EQ(timerArm(3, 10, chainFirst), 0);
  EXPECT_EQ(waitForCount(chainFired, 2), 2);
}

TEST(TimerThread, BadSlotIsRefused) {
  EXPECT_NE(timerArm(TIMER_SLOTS, 10, chainSecond), 0);
  EXPECT_NE(timerArm(-1, 10, chainSecond), 0);
  timerCancel(TIMER_SLOTS);  // no effect, no crash
}
