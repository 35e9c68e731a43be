// Options: the listing, lookup and values, the strength levels, hash sizes.
#include <gtest/gtest.h>
#include <string>

#include "uci/numbers.h"
#include "uci/options.h"
#include "uci/state.h"

namespace {

std::string listing() {
  testing::internal::CaptureStdout();
  listOptions();
  return testing::internal::GetCapturedStdout();
}

struct OptionTest : ::testing::Test {
  void SetUp() override {
    setProcessorCount(6);
    setOptionDefaults();
  }
};

}  // namespace

TEST_F(OptionTest, FourteenLinesAsListed) {
  EXPECT_EQ(listing(),
            "option name Hash type spin default 16 min 4 max 4095\n"
            "option name Ponder type check default false\n"
            "option name OwnBook type check default true\n"
            "option name Book_file type string default tessel12.5.bin\n"
            "option name Book_selectivity type spin default 5 min 0 max 30\n"
            "option name MultiPV type spin default 1 min 1 max 50\n"
            "option name Contempt type spin default 0 min -500 max 500\n"
            "option name Use_tablebases type check default true\n"
            "option name NalimovPath type string default C:\\TBs\n"
            "option name NalimovCache type spin default 32 min 1 max 256\n"
            "option name UCI_LimitStrength type check default false\n"
            "option name UCI_ELO type spin default 3000 min 1200 max 3000\n"
            "option name Clear_hash type check default false\n"
            "option name Threads type spin default 6 min 1 max 6\n");
}

TEST_F(OptionTest, ProcessorCountSetsTheThreadsRow) {
  setProcessorCount(40);
  setOptionDefaults();
  EXPECT_STREQ(optionValue("Threads"), "40");
  EXPECT_STREQ(threadsBounds, "min 1 max 40");
}

TEST_F(OptionTest, ValuesAreListedAsTheirCurrentDefault) {
  EXPECT_EQ(setOptionValue("hash", "64"), 1) << "names ignore case";
  EXPECT_EQ(setOptionValue("NoSuchOption", "1"), 0);
  EXPECT_EQ(setOptionValue("Book_file", "my book.bin"), 1);
  std::string out = listing();
  EXPECT_NE(out.find("option name Hash type spin default 64 min 4 max 4095\n"), std::string::npos);
  EXPECT_NE(out.find("option name Book_file type string default my book.bin\n"), std::string::npos);
  EXPECT_EQ(findOption("NOSUCH"), nullptr);
  EXPECT_EQ(findOption("HASHX"), nullptr);
  EXPECT_EQ(findOption("uci_elo"), findOption("UCI_ELO"));
}

TEST(Numbers, SaturatingDecimalReading) {
  EXPECT_EQ(parseInt("abc"), 0);
  EXPECT_EQ(parseInt("  42xyz"), 42);
  EXPECT_EQ(parseInt("-17"), -17);
  EXPECT_EQ(parseInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(parseInt("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(parseInt64("9223372036854775808"), INT64_MAX);
  EXPECT_EQ(parseInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_TRUE(isOn("TRUE"));
  EXPECT_TRUE(isOn("true"));
  EXPECT_FALSE(isOn("true "));
  EXPECT_FALSE(isOn("1"));
}

TEST(Strength, EloLevelsAtTheirBoundaries) {
  struct Case {
    int elo, reserved13, maxDepth;
  } cases[] = {{1200, 5000, 3}, {1500, 5000, 3}, {1539, 5000, 3}, {1540, 5000, 4}, {1659, 5000, 4},
               {1660, 5000, 5}, {1839, 5000, 5}, {1840, 5000, 6}, {1999, 5000, 6}, {2000, 100, 6},
               {2059, 100, 6},  {2060, 100, 7},  {2179, 100, 7},  {2180, 100, 8},  {2299, 100, 8},
               {2300, 100, 9},  {2419, 100, 9},  {2420, 100, 10}, {2539, 100, 10}, {2540, 100, 11},
               {2659, 100, 11}, {2660, 100, 60}, {3000, 100, 60}, {-5, 5000, 3}};
  for (const Case &c : cases) {
    setStrengthFromElo(c.elo);
    EXPECT_EQ(engineSettings.reserved13, c.reserved13) << c.elo;
    EXPECT_EQ(engineSettings.maxDepth, c.maxDepth) << c.elo;
  }
}

TEST(Strength, LimitOffRestoresOnlyTheDepth) {
  setOptionDefaults();
  setOptionValue("UCI_LimitStrength", "true");
  setOptionValue("UCI_ELO", "1500");
  applySearchOptions();
  EXPECT_EQ(engineSettings.maxDepth, 3);
  EXPECT_EQ(engineSettings.reserved13, 5000);
  setOptionValue("UCI_LimitStrength", "false");
  applySearchOptions();
  EXPECT_EQ(engineSettings.maxDepth, 60);
  EXPECT_EQ(engineSettings.reserved13, 5000);
}

TEST(SearchOptions, UnusableValuesAreClamped) {
  setProcessorCount(4);
  setOptionDefaults();
  setOptionValue("Threads", "0");
  setOptionValue("Contempt", "abc");
  setOptionValue("Clear_hash", "True");
  applySearchOptions();
  EXPECT_EQ(engineSettings.threads, 1);
  EXPECT_EQ(engineSettings.contempt, 0);
  EXPECT_EQ(engineSettings.clearHashOnSearch, 1);
  setOptionValue("Threads", "999999999999");
  setOptionValue("Contempt", "-100000");
  applySearchOptions();
  EXPECT_EQ(engineSettings.threads, 4);
  EXPECT_EQ(engineSettings.contempt, -500);
}

TEST(HashSizes, SixtyFourBitRequests) {
  const uint64_t big = 64ull << 30;  // physical memory far above the requests
  EXPECT_EQ(hashRequestBytes(16, big), 16 * MB);
  EXPECT_EQ(hashRequestBytes(4095, big), 0xFFF00000ull);
  EXPECT_EQ(hashRequestBytes(4096, big), 0xFFF00000ull) << "4096 MB must not wrap to 0";
  EXPECT_EQ(hashRequestBytes(100000, big), 0xFFF00000ull);
  EXPECT_EQ(hashRequestBytes(0, big), MIN_MODULE_HASH);
  EXPECT_EQ(hashRequestBytes(1, big), MIN_MODULE_HASH);
  EXPECT_EQ(hashRequestBytes(-7, big), MIN_MODULE_HASH);
  // Capped by half the physical memory.
  EXPECT_EQ(hashRequestBytes(4095, 2048 * MB), 1024 * MB);
  EXPECT_EQ(hashRequestBytes(4095, 0), 0xFFF00000ull) << "unknown memory: no cap";
}
