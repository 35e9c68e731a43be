// The tablebase probe: which table, side, square arrays, e.p. square and
// invert flag reach the index function, how stored entries become scores,
// and which boards and indices miss. The index functions are stood in for by
// one that records its arguments, so these cases hold whatever the tables'
// numbering is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tablebases/block_cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"
#include "tests/tb_test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int KQK = 5, KNKN = 8, KPPKP = 36, KQNKRR = 163;
// Piece codes of the probe board.
constexpr uint8_t BK = 0, BQ = 1, BR = 2, BN = 4, BP = 5, EMPTY = 6, WP = 7, WN = 8, WQ = 11, WK = 12;
constexpr int A1 = 0, D1 = 3, E1 = 4, C3 = 18, E4 = 28, D5 = 35, A7 = 48, E8 = 60, H8 = 63;

struct Call {
  int count;
  int32_t first[TB_SIDE_SLOTS], second[TB_SIDE_SLOTS];
  int32_t ep, invert;
};
Call call;
uint64_t nextIndex;

uint64_t recordingIndexFn(const int32_t* first, const int32_t* second, int32_t ep, int32_t invert) {
  call.count++;
  for (int i = 0; i < TB_SIDE_SLOTS; i++) call.first[i] = first[i], call.second[i] = second[i];
  call.ep = ep;
  call.invert = invert;
  return nextIndex;
}

struct Board {
  uint8_t square[TB_BOARD_SQUARES];
  Board() {
    for (uint8_t &s : square) s = EMPTY;
  }
  Board &put(int sq, uint8_t code) {
    square[sq] = code;
    return *this;
  }
};

class TbProbeTest : public ::testing::Test {
 protected:
  std::string dir;
  Bytes cache;
  tbfiles::SavedLengths saved;
  TbIndexFn savedFns[TB_TABLE_COUNT][2];

  void SetUp() override {
    dir = tbfiles::makeScratchDir();
    ASSERT_FALSE(dir.empty());
    saved.save();
    for (int id = 0; id < TB_TABLE_COUNT; id++)
      for (int s = 0; s < 2; s++) {
        savedFns[id][s] = tbDescriptors[id].indexFn[s];
        tbDescriptors[id].indexFn[s] = recordingIndexFn;
      }
    call = {};
    nextIndex = 0;
    tbhits = 0;
  }
  void TearDown() override {
    initTablebases(nullptr);
    setTablebaseCache(nullptr, 0);
    saved.restore();
    for (int id = 0; id < TB_TABLE_COUNT; id++)
      for (int s = 0; s < 2; s++) tbDescriptors[id].indexFn[s] = savedFns[id][s];
    tbfiles::removeScratchDir(dir);
  }
  // A side's file: every entry unknown but the planted ones.
  void writeSide(int id, int side, const std::vector<std::pair<uint64_t, uint8_t>> &planted) {
    Bytes bytes(static_cast<size_t>(tbDescriptors[id].length[side]), 127);
    for (auto [index, byte] : planted) bytes[index] = byte;
    const std::string name = dir + "/" + tbDescriptors[id].name + (side == 0 ? ".nbw" : ".nbb");
    ASSERT_TRUE(tbfiles::writeFile(name, bytes));
  }
  void registerAll() {
    initTablebases(dir.c_str());
    cache.assign(1 << 20, 0);
    ASSERT_EQ(setTablebaseCache(cache.data(), cache.size()), 1);
  }
  // Probes; returns the score, or the sentinel when the probe missed.
  static constexpr int MISS = 99999;
  int probe(const Board &b, int side, int ep = 0) {
    int score = MISS;
    return tbProbe(b.square, side, ep, &score) ? score : MISS;
  }
};

TEST_F(TbProbeTest, SideToMovePicksTheTableSideAndItsIndexFunction) {
  tbDescriptors[KQK].indexFn[1] = nullptr;  // a call of the wrong side's function shows
  writeSide(KQK, 0, {{100, 5}});
  writeSide(KQK, 1, {{200, static_cast<uint8_t>(-3)}});
  registerAll();
  Board b;
  b.put(E1, WK).put(D1, WQ).put(E8, BK);
  nextIndex = 100;
  EXPECT_EQ(probe(b, 1), 122) << "byte 5, White to move: mate in 127 - 5";
  EXPECT_EQ(call.first[15], E1);
  EXPECT_EQ(call.first[12], D1);
  EXPECT_EQ(call.second[15], E8);
  EXPECT_EQ(call.ep, TB_NO_EP) << "no e.p. square reaches the index function as 127";
  EXPECT_EQ(call.invert, 0);
  EXPECT_EQ(tbhits, 1);

  tbDescriptors[KQK].indexFn[0] = nullptr;
  tbDescriptors[KQK].indexFn[1] = recordingIndexFn;
  nextIndex = 200;
  EXPECT_EQ(probe(b, 0), -125) << "byte -3, Black to move: mated, -128 - c";
  EXPECT_EQ(tbhits, 2);
}

TEST_F(TbProbeTest, ReversedColoursPassTheStrongSideFirstWithInvert) {
  writeSide(KQK, 0, {{7, 20}});
  writeSide(KQK, 1, {{9, 0}});
  registerAll();
  Board b;  // Black king and queen against the White king
  b.put(A1, WK).put(E8, BK).put(D5, BQ);
  tbDescriptors[KQK].indexFn[1] = nullptr;
  nextIndex = 7;
  EXPECT_EQ(probe(b, 0), 107) << "Black to move is the table's side 0";
  EXPECT_EQ(call.first[15], E8);
  EXPECT_EQ(call.first[12], D5);
  EXPECT_EQ(call.second[15], A1);
  EXPECT_EQ(call.invert, 1);
  tbDescriptors[KQK].indexFn[1] = recordingIndexFn;
  tbDescriptors[KQK].indexFn[0] = nullptr;
  nextIndex = 9;
  EXPECT_EQ(probe(b, 1), 0) << "White to move is side 1: a stored draw";
}

TEST_F(TbProbeTest, SymmetricTableReadsSideZeroThroughTheSecondFunction) {
  writeSide(KNKN, 0, {{1234, 100}});  // only side 0 exists
  registerAll();
  Board b;
  b.put(E1, WK).put(C3, WN).put(E8, BK).put(H8, BN);
  tbDescriptors[KNKN].indexFn[0] = nullptr;
  nextIndex = 1234;
  EXPECT_EQ(probe(b, 0), 27);
  EXPECT_EQ(call.count, 1);
}

TEST_F(TbProbeTest, EnPassantSquareAndMenInSquareOrder) {
  tbDescriptors[KPPKP].length[0] = tbDescriptors[KPPKP].length[1] = 1000;  // small files
  writeSide(KPPKP, 0, {{3, 0}});
  writeSide(KPPKP, 1, {});
  registerAll();
  Board b;
  b.put(E1, WK).put(A7 - 40, WP).put(E4, WP).put(D5 + 8, BP).put(H8, BK);
  nextIndex = 3;
  EXPECT_EQ(probe(b, 1, 43), 0);
  EXPECT_EQ(call.ep, 43);
  EXPECT_EQ(call.first[0], A7 - 40);
  EXPECT_EQ(call.first[1], E4);
  EXPECT_EQ(call.second[0], D5 + 8);
}

TEST_F(TbProbeTest, StoredBytesBecomeScores) {
  const std::vector<std::pair<int, int>> cases = {{0, 0},      {1, 126},     {126, 1},   {-128, 127},
                                                  {-1, -127},  {-126, -2},   {-127, -128}};
  std::vector<std::pair<uint64_t, uint8_t>> planted;
  for (size_t i = 0; i < cases.size(); i++) planted.push_back({i, static_cast<uint8_t>(cases[i].first)});
  writeSide(KQK, 0, planted);
  writeSide(KQK, 1, {});
  registerAll();
  Board b;
  b.put(E1, WK).put(D1, WQ).put(E8, BK);
  for (size_t i = 0; i < cases.size(); i++) {
    nextIndex = i;
    EXPECT_EQ(probe(b, 1), cases[i].second) << "byte " << cases[i].first;
  }
  EXPECT_EQ(tbhits, static_cast<int>(cases.size()));
}

TEST_F(TbProbeTest, UnknownEntriesAndUnregisteredSidesMiss) {
  writeSide(KQK, 0, {});
  registerAll();
  Board b;
  b.put(E1, WK).put(D1, WQ).put(E8, BK);
  int score = 555;
  EXPECT_EQ(tbProbe(b.square, 1, 0, &score), 0) << "a stored 127 is unknown";
  EXPECT_EQ(score, 555) << "a miss leaves the score alone";
  EXPECT_EQ(probe(b, 0), MISS) << "side 1 has no file";
  EXPECT_EQ(call.count, 1) << "an unregistered side computes no index";
  EXPECT_EQ(tbhits, 0);
}

TEST_F(TbProbeTest, NoCacheMeansNoHit) {
  writeSide(KQK, 0, {{0, 1}});
  initTablebases(dir.c_str());
  setTablebaseCache(nullptr, 0);
  Board b;
  b.put(E1, WK).put(D1, WQ).put(E8, BK);
  EXPECT_EQ(probe(b, 1), MISS);
}

TEST_F(TbProbeTest, MalformedBoardsMissWithoutAnIndex) {
  writeSide(KQK, 0, {{0, 1}});
  registerAll();
  Board five;  // five men besides the kings: no table
  five.put(E1, WK).put(E8, BK).put(A1, WQ).put(D1, WQ).put(C3, WN).put(D5, BQ).put(E4, BR);
  EXPECT_EQ(probe(five, 1), MISS);
  Board bad;
  bad.put(E1, WK).put(D1, WQ).put(E8, 13);  // 13 is no piece code
  EXPECT_EQ(probe(bad, 1), MISS);
  Board twoKings;
  twoKings.put(E1, WK).put(A1, WK).put(D1, WQ).put(E8, BK);
  EXPECT_EQ(probe(twoKings, 1), MISS);
  Board noBlackKing;
  noBlackKing.put(E1, WK).put(D1, WQ);
  EXPECT_EQ(probe(noBlackKing, 1), MISS);
  Board fourKnights;  // more men of a kind than a table has slots for
  fourKnights.put(E1, WK).put(E8, BK).put(A1, WN).put(D1, WN).put(C3, WN).put(D5, WN);
  EXPECT_EQ(probe(fourKnights, 1), MISS);
  Board normal;
  normal.put(E1, WK).put(D1, WQ).put(E8, BK);
  EXPECT_EQ(probe(normal, 1, 64), MISS) << "an e.p. square off the board";
  EXPECT_EQ(call.count, 0);
  EXPECT_EQ(tbhits, 0);
}

TEST_F(TbProbeTest, IndexBeyondTheSideMissesAndKeepsTheExtent) {
  writeSide(KQK, 0, {{25628, 10}});
  registerAll();
  Board b;
  b.put(E1, WK).put(D1, WQ).put(E8, BK);
  nextIndex = UINT64_MAX;  // the index functions' answer to impossible input
  EXPECT_EQ(probe(b, 1), MISS);
  nextIndex = 25629;
  EXPECT_EQ(probe(b, 1), MISS);
  nextIndex = 25628;
  EXPECT_EQ(probe(b, 1), 117) << "the extent is still registered";
}

TEST_F(TbProbeTest, KppkpFixedEntriesAnswerWithoutReading) {
  tbDescriptors[KPPKP].length[1] = 71071629;
  const std::string path = dir + "/kppkp.nbb";
  FILE *f = fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  fclose(f);
  ASSERT_EQ(truncate(path.c_str(), tbDescriptors[KPPKP].length[1]), 0);  // sparse: zeros
  registerAll();
  ASSERT_EQ(unlink(path.c_str()), 0);  // any read now fails
  Board b;
  b.put(E1, WK).put(A7 - 40, WP).put(E4, WP).put(D5 + 8, BP).put(H8, BK);
  for (uint64_t index : {56802428ull, 56811076ull, 56849992ull, 56858640ull, 59592489ull, 67775659ull, 71071628ull}) {
    nextIndex = index;
    EXPECT_EQ(probe(b, 0), -129) << index;
  }
  nextIndex = 56802429;
  EXPECT_EQ(probe(b, 0), MISS) << "a neighbouring entry is read, and the read fails";
}

TEST_F(TbProbeTest, SixteenBitEntries) {
  tbDescriptors[KQNKRR].length[0] = tbDescriptors[KQNKRR].length[1] = 10000;
  Bytes words(20000, 0xFF);  // 0xFFFF: -1 everywhere
  auto plant = [&](int index, int16_t v) {
    words[2 * index] = static_cast<uint8_t>(v & 0xFF);
    words[2 * index + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  };
  plant(0, 32757);   // a win: 32767 - v
  plant(4095, -32700);  // a loss: -v - 32768; the last entry of block 0
  plant(4096, 0x7FFF);  // unknown; the first of block 1
  plant(4097, 0);
  ASSERT_TRUE(tbfiles::writeFile(dir + "/kqnkrr.nbw", words));
  registerAll();
  Board b;
  b.put(E1, WK).put(D1, WQ).put(C3, WN).put(E8, BK).put(A7, BR).put(H8, BR);
  nextIndex = 0;
  EXPECT_EQ(probe(b, 1), 10);
  nextIndex = 4095;
  EXPECT_EQ(probe(b, 1), -68);
  nextIndex = 4096;
  EXPECT_EQ(probe(b, 1), MISS);
  nextIndex = 4097;
  EXPECT_EQ(probe(b, 1), 0);
  nextIndex = 1;
  EXPECT_EQ(probe(b, 1), -32767) << "-1 stored: mated at once";
}

}  // namespace
