#include <gtest/gtest.h>

#include "platform/blocks.h"
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
