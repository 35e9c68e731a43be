// The program's tablebase set-up: the options registered and cached, the
// probe callback the module is given, and the program's own game copy, which
// never probes.
#include <gtest/gtest.h>

#include "engine/search/root/control.h"
#include "tablebases/block_cache.h"
#include "tablebases/registry.h"
#include "tests/tb_table_writer.h"
#include "uci/options.h"
#include "uci/tablebase_setup.h"

namespace {

constexpr int KQK = 5;
constexpr uint8_t EMPTY = 6, BK = 0, WQ = 11, WK = 12;
constexpr int D1 = 3, E1 = 4, E8 = 60;

class TablebaseSetup : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    dir = tbfiles::makeScratchDir();
    ASSERT_TRUE(tbwriter::writeSolvedTables(dir, false, {KQK}));
    setOptionValue("NalimovPath", dir.c_str());
    setOptionValue("NalimovCache", "2");
    setOptionValue("Use_tablebases", "true");
  }
  void TearDown() override {
    setOptionValue("Use_tablebases", "false");
    setUpTablebases();
    initTablebases(nullptr);
    setTablebaseCache(nullptr, 0);
    tbfiles::removeScratchDir(dir);
  }
  static int probeKqk(int *score) {
    ProbeBoard board;
    for (uint8_t &s : board.square) s = EMPTY;
    board.square[E1] = WK;
    board.square[D1] = WQ;
    board.square[E8] = BK;
    return probeTablebaseCallback(&board, 1, 0, score);
  }
};

TEST_F(TablebaseSetup, OptionsRegisterTheTablesAndSetTheCache) {
  EXPECT_EQ(setUpTablebases(), 3) << "kqk: three men";
  EXPECT_EQ(tbCacheCount, (2 << 20) / 8284);
  int score = 0;
  ASSERT_EQ(probeKqk(&score), 1);
  EXPECT_GT(score, 0) << "White to move wins with the queen";
  // A new cache size replaces the buffer; the tables stay usable.
  setOptionValue("NalimovCache", "1");
  EXPECT_EQ(setUpTablebases(), 3);
  EXPECT_EQ(tbCacheCount, (1 << 20) / 8284);
  EXPECT_EQ(probeKqk(&score), 1);
}

TEST_F(TablebaseSetup, OffMeansNoMenForTheModule) {
  setOptionValue("Use_tablebases", "false");
  EXPECT_EQ(setUpTablebases(), 0);
  setOptionValue("Use_tablebases", "true");
  setOptionValue("NalimovPath", (dir + "/none").c_str());
  EXPECT_EQ(setUpTablebases(), 0) << "a directory without tables";
  int score = 0;
  EXPECT_EQ(probeKqk(&score), 0);
}

TEST_F(TablebaseSetup, TheProgramsGameCopyNeverProbes) {
  setUpTablebases();
  EXPECT_EQ(tablebaseHook, nullptr) << "the program's copy of the engine core has no tablebase state of its own";
}

}  // namespace
