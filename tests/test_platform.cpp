#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/blocks.h"
#include "platform/condition.h"
#include "platform/platform.h"

// The generator must reproduce the classic 15-bit sequence exactly: the
// opening book's keys depend on it.
TEST(Platform, Rand15Sequence) {
  Rand15 r{1};
  EXPECT_EQ(r.next(), 41);
  EXPECT_EQ(r.next(), 18467);
  EXPECT_EQ(r.next(), 6334);
  EXPECT_EQ(r.next(), 26500);
  EXPECT_EQ(r.next(), 19169);
  Rand15 z{0};
  EXPECT_EQ(z.next(), 38);
  platformSrand(1);
  EXPECT_EQ(platformRand(), 41);
}

TEST(Platform, ClockAndSleep) {
  int32_t t0 = platformMillis();
  platformSleepMs(30);
  int32_t dt = platformMillis() - t0;
  EXPECT_GE(dt, 29);
  EXPECT_LT(dt, 5000);
}

TEST(Platform, CpuCountWithinBounds) {
  int n = platformCpuCount();
  EXPECT_GE(n, 1);
  EXPECT_LE(n, 40);
}

TEST(Platform, LockMemoryNeverFails) {
  static char block[1 << 16];
  platformLockMemory(block, sizeof block);  // may be refused; must not crash
  platformUnlockMemory(block, sizeof block);
  EXPECT_FALSE(platformLockMemory(nullptr, 16));
}

TEST(Platform, DirectoryProbes) {
  EXPECT_TRUE(platformIsDirectory("/"));
  EXPECT_FALSE(platformIsDirectory("/no/such/dir/here"));
  uint64_t size = 0;
  EXPECT_FALSE(platformFileSize("/", &size));
  EXPECT_FALSE(platformExecutableDir().empty());
}

// Only a regular file, or a link to one, opens: as an ordinary blocking stream
// that is not inherited across exec. A directory, a FIFO without a writer (at
// once, in a child that is stopped if it waits) and a missing path give null.
TEST(Platform, OpenRegularFileRefusesEverythingElse) {
  constexpr unsigned CHILD_DEADLINE_SECONDS = 10;
  char pattern[] = "/tmp/tessel_platform_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern, file = dir + "/file", link = dir + "/link", sub = dir + "/sub",
                    subLink = dir + "/sublink", fifo = dir + "/fifo";
  FILE *out = fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  fputs("tessel", out);
  fclose(out);
  ASSERT_EQ(symlink("file", link.c_str()), 0);
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  ASSERT_EQ(symlink("sub", subLink.c_str()), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string &path : {file, link}) {
    FILE *f = platformOpenRegularFile(path.c_str());
    ASSERT_NE(f, nullptr) << path;
    char text[8] = {};
    EXPECT_EQ(fread(text, 1, sizeof text, f), 6u) << path;
    EXPECT_STREQ(text, "tessel") << path;
    EXPECT_EQ(fcntl(fileno(f), F_GETFL) & O_NONBLOCK, 0) << path;
    EXPECT_NE(fcntl(fileno(f), F_GETFD) & FD_CLOEXEC, 0) << path;
    fclose(f);
  }
  for (const std::string &path : {sub, subLink, dir + "/missing"})
    EXPECT_EQ(platformOpenRegularFile(path.c_str()), nullptr) << path;
  EXPECT_EXIT(
      {
        alarm(CHILD_DEADLINE_SECONDS);
        std::exit(platformOpenRegularFile(fifo.c_str()) == nullptr ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  for (const std::string &path : {file, link, subLink, fifo}) EXPECT_EQ(std::remove(path.c_str()), 0);
  EXPECT_EQ(rmdir(sub.c_str()), 0);
  EXPECT_EQ(rmdir(dir.c_str()), 0);
}

// Blocked clears and copies touch exactly their N bytes, whole blocks and a
// short last one alike.
TEST(Platform, BlockedClearAndCopyCoverExactlyTheirBytes) {
  constexpr size_t ROOM = 300;
  auto check = [](auto clear, auto copy, size_t n) {
    unsigned char a[ROOM], b[ROOM];
    for (size_t i = 0; i < ROOM; i++) a[i] = (unsigned char)(i + 1), b[i] = 0xEE;
    clear(a + 1);
    for (size_t i = 0; i < ROOM; i++) EXPECT_EQ(a[i], (i >= 1 && i <= n) ? 0 : (unsigned char)(i + 1)) << n << " " << i;
    for (size_t i = 0; i < ROOM; i++) a[i] = (unsigned char)(i + 1);
    copy(b + 1, a + 1);
    for (size_t i = 0; i < ROOM; i++) EXPECT_EQ(b[i], (i >= 1 && i <= n) ? (unsigned char)(i + 1) : 0xEE) << n << " " << i;
  };
  check([](void *p) { clearBlocks<1>(p); }, [](void *d, const void *s) { copyBlocks<1>(d, s); }, 1);
  check([](void *p) { clearBlocks<64>(p); }, [](void *d, const void *s) { copyBlocks<64>(d, s); }, 64);
  check([](void *p) { clearBlocks<65>(p); }, [](void *d, const void *s) { copyBlocks<65>(d, s); }, 65);
  check([](void *p) { clearBlocks<224>(p); }, [](void *d, const void *s) { copyBlocks<224>(d, s); }, 224);
  check([](void *p) { clearBlocks<256>(p); }, [](void *d, const void *s) { copyBlocks<256>(d, s); }, 256);
}

// ---- the condition variable of the helper threads ----

namespace {

// Waits up to 30 s for `done`; on a lost wake-up it raises `giveUp` and wakes
// every waiter, so that a failing test ends instead of hanging.
bool finishesInTime(const std::atomic<bool> &done, std::atomic<bool> *giveUp, pthread_mutex_t *m,
                    std::vector<PlatformCondition *> conds) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done.load() && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (done.load()) return true;
  pthread_mutex_lock(m);
  giveUp->store(true);
  pthread_mutex_unlock(m);
  for (PlatformCondition *c : conds) conditionBroadcast(c);
  return false;
}

}  // namespace

// Two threads hand a token to each other, each signalling after it has
// released the mutex (as the helpers do): a wake-up lost between a waiter's
// test and its sleep leaves both asleep.
TEST(Condition, TokenPassedBackAndForthWithoutLostWakeUps) {
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  PlatformCondition turnOf[2];
  int turn = 0, passes = 0;
  constexpr int PASSES = 20000;
  std::atomic<bool> giveUp{false}, done{false};
  auto player = [&](int me) {
    for (;;) {
      pthread_mutex_lock(&m);
      while (turn != me && !giveUp.load()) ASSERT_EQ(conditionWait(&turnOf[me], &m), 0);
      if (giveUp.load() || passes >= PASSES) {
        turn = 1 - me;  // let the other one see the end
        pthread_mutex_unlock(&m);
        conditionSignal(&turnOf[1 - me]);
        return;
      }
      passes++;
      turn = 1 - me;
      pthread_mutex_unlock(&m);
      conditionSignal(&turnOf[1 - me]);
    }
  };
  std::thread a(player, 0), b(player, 1);
  std::thread watch([&] {
    a.join();
    b.join();
    done = true;
  });
  EXPECT_TRUE(finishesInTime(done, &giveUp, &m, {&turnOf[0], &turnOf[1]}));
  watch.join();
  EXPECT_EQ(passes, PASSES);
}

// Units posted one at a time, each with one signal, reach the consumers
// blocked on one condition: every unit is taken once and nobody is left asleep.
TEST(Condition, EverySignalledUnitIsTaken) {
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  PlatformCondition available;
  int units = 0, taken = 0;
  constexpr int CONSUMERS = 4, UNITS = 20000;
  std::atomic<bool> giveUp{false}, done{false};
  std::vector<std::thread> consumers;
  for (int k = 0; k < CONSUMERS; k++)
    consumers.emplace_back([&] {
      for (;;) {
        pthread_mutex_lock(&m);
        while (units == 0 && taken < UNITS && !giveUp.load()) conditionWait(&available, &m);
        if (units == 0) {  // all taken (or given up)
          pthread_mutex_unlock(&m);
          return;
        }
        units--;
        if (++taken == UNITS) {
          pthread_mutex_unlock(&m);
          conditionBroadcast(&available);  // the others are done too
          return;
        }
        pthread_mutex_unlock(&m);
      }
    });
  std::thread producer([&] {
    for (int k = 0; k < UNITS; k++) {
      pthread_mutex_lock(&m);
      units++;
      pthread_mutex_unlock(&m);
      conditionSignal(&available);
    }
  });
  std::thread watch([&] {
    producer.join();
    for (auto &c : consumers) c.join();
    done = true;
  });
  EXPECT_TRUE(finishesInTime(done, &giveUp, &m, {&available}));
  watch.join();
  EXPECT_EQ(taken, UNITS);
  EXPECT_EQ(units, 0);
}

TEST(Condition, BroadcastWakesEveryWaiter) {
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  PlatformCondition go;
  bool open = false;
  std::atomic<int> asleep{0}, through{0};
  std::vector<std::thread> waiters;
  for (int k = 0; k < 6; k++)
    waiters.emplace_back([&] {
      pthread_mutex_lock(&m);
      asleep++;
      while (!open) conditionWait(&go, &m);
      pthread_mutex_unlock(&m);
      through++;
    });
  while (asleep.load() < 6) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(through.load(), 0);  // nobody passes a closed gate
  pthread_mutex_lock(&m);
  open = true;
  pthread_mutex_unlock(&m);
  conditionBroadcast(&go);
  for (auto &w : waiters) w.join();
  EXPECT_EQ(through.load(), 6);
}
