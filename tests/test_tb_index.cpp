#include <gtest/gtest.h>

#include "tablebases/enumerations.h"
#include "tablebases/index_plan.h"
#include "tests/tb_position.h"

using tbtest::indexOf;
using tbtest::square;

namespace {

class TbIndex : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { initEnumerations(); }
};

struct Worked {
  const char* name;
  int side;
  const char* white;
  const char* black;
  const char* ep;  // nullptr: none
  uint64_t index;
};

// Every worked index value the index rules give, invert 0.
const Worked kWorked[] = {
    {"kqk", 0, "Ke1 Qd4", "Ke8", nullptr, 11205},
    {"kpk", 0, "Kd3 Pe4", "Ke6", nullptr, 29862},
    {"kpk", 1, "Kd3 Pe4", "Ke6", nullptr, 30782},
    {"kqkp", 1, "Ka1 Qh5", "Ke6 Pd4", nullptr, 1873767},
    {"kpkp", 0, "Kg1 Pe5", "Kb8 Pd5", "d6", 3839842},
    {"kpkp", 0, "Kg1 Pe5", "Kb8 Pd5", nullptr, 250960},
    {"krrbk", 0, "Kc2 Ra7 Rh3 Bf5", "Ke8", nullptr, 28587828},
    {"krrbk", 1, "Kc2 Ra7 Rh3 Bf5", "Ke8", nullptr, 22282639},
    {"knpkq", 1, "Ka2 Nc3 Pg4", "Kf6 Qb8", nullptr, 200627537},
    {"kppkp", 0, "Kb1 Pc5 Pe5", "Kg8 Pd5", "d6", 83178695},
    {"kppkp", 0, "Kb1 Pc5 Pe5", "Kg8 Pd5", nullptr, 5493852},
    {"kqrkqb", 0, "Kg2 Qd1 Ra4", "Kc7 Qh8 Be5", nullptr, 2666077099ULL},
    {"kqrkqb", 1, "Kg2 Qd1 Ra4", "Kc7 Qh8 Be5", nullptr, 3256166074ULL},
    {"knpkpp", 0, "Kc1 Ng1 Pe5", "Kh8 Pd5 Pa6", nullptr, 491253375},
    {"knpkpp", 0, "Kc1 Ng1 Pe5", "Kh8 Pd5 Pa6", "d6", 5031226588ULL},
    {"kppkpp", 1, "Kg1 Pb4 Pf2", "Ka8 Pc4 Ph7", "b3", 1871465528},
    {"kppkpp", 0, "Kb1 Pc5 Pe5", "Kh8 Pd5 Pa7", "d6", 1873026130},
    {"krbnkn", 1, "Kb2 Rd4 Bf5 Ne6", "Kg7 Nc7", nullptr, 2865645593ULL},
    {"kqqrkq", 1, "Kc3 Qa5 Qh1 Rd8", "Kf6 Qb7", nullptr, 2222213168ULL},
    {"kqnnkb", 0, "Kf2 Qd1 Nc6 Ng5", "Kh8 Ba3", nullptr, 1470504988ULL},
    {"kqnnkb", 1, "Kf2 Qd1 Nc6 Ng5", "Kh8 Ba3", nullptr, 107820301},
    {"kqppkq", 0, "Kb1 Qd3 Pc2 Pg5", "Kh7 Qa8", nullptr, 365524403},
    {"kbnpkp", 1, "Kg1 Bb5 Nf3 Pe4", "Ke8 Pd4", "e3", 13668233597ULL},
    {"kbnpkp", 1, "Kg1 Bb5 Nf3 Pe4", "Ke8 Pd4", nullptr, 1733777473},
};

TEST_F(TbIndex, WorkedValues) {
  for (const Worked& w : kWorked) {
    const int ep = w.ep ? square(w.ep) : 127;
    EXPECT_EQ(indexOf(w.name, w.side, w.white, w.black, ep), w.index)
        << w.name << " side " << w.side << " " << w.white << " / " << w.black;
  }
}

// Index space (index values per side) of every three- and four-man table.
TEST_F(TbIndex, IndexSpaceOfSmallTables) {
  const uint64_t kSpace[36][2] = {
      {0, 0},
      {81664, 84012},     {26282, 28644},     {27243, 28644},     {27036, 28644},     {25635, 28644},
      {3863492, 3863492}, {4931904, 4981504}, {1603202, 1603202}, {5112000, 4981504}, {1661823, 1603202},
      {1661823, 1661823}, {5072832, 4981504}, {1649196, 1603202}, {1649196, 1661823}, {1649196, 1649196},
      {4810176, 4981504}, {1563735, 1603202}, {1563735, 1661823}, {1563735, 1649196}, {1563735, 1563735},
      {1806671, 1912372}, {4648581, 5124732}, {735304, 873642},   {4817128, 5124732}, {1550621, 1747284},
      {789885, 873642},   {4779624, 5124732}, {1538479, 1747284}, {1594560, 1747284}, {777639, 873642},
      {4533584, 5124732}, {1459616, 1747284}, {1512507, 1747284}, {1500642, 1747284}, {699072, 873642},
  };
  for (int id = 1; id <= 35; id++)
    for (int side = 0; side < 2; side++)
      EXPECT_EQ(tbIndexPlans[id][side].indexSpace, kSpace[id][side]) << tbDescriptors[id].name << " " << side;
  // Five- and six-man spaces the rules state.
  EXPECT_EQ(tbIndexPlans[tbtest::tableId("knpkp")][1].indexSpace, 231758952u);
  EXPECT_EQ(tbIndexPlans[tbtest::tableId("kppkp")][0].normalSize, 83106866u);
  EXPECT_EQ(tbIndexPlans[tbtest::tableId("kppkp")][1].normalSize, 88278784u);
  EXPECT_EQ(tbIndexPlans[tbtest::tableId("knpkpp")][0].normalSize, 5025116061u);
  EXPECT_EQ(tbIndexPlans[tbtest::tableId("kbnpkp")][1].normalSize, 13587256320u);
}

// Free-digit ranges and e.p. digits per group value of the six-man shapes.
TEST_F(TbIndex, SixManShapes) {
  const struct {
    const char* name;
    int side;
    uint64_t freeRange;
    uint64_t epPerGroup;  // 0: no e.p. block
  } kShapes[] = {
      {"kbnknp", 0, 2832, 0},  {"krpkbn", 0, 3540, 0},   {"knpknp", 0, 2773, 798}, {"knnknp", 0, 2832, 0},
      {"kbpknn", 0, 1770, 0},  {"kbnkpp", 0, 1128, 0},   {"kbnkpp", 1, 3540, 0},   {"knpkpp", 0, 1081, 616},
      {"knpkpp", 1, 2714, 35112}, {"kbbkpp", 0, 1128, 0}, {"kbbkpp", 1, 1770, 0},  {"kppkpp", 0, 1035, 26488},
      {"kppkpp", 1, 1035, 26488},
      {"kqqqkn", 0, 59, 0},    {"kqqrkn", 0, 59, 0},     {"kqnnkn", 0, 59, 0},     {"kqrbkn", 0, 59, 0},
      {"kqqqkn", 1, 35990, 0}, {"kqqrkq", 1, 107970, 0}, {"kqnnkq", 1, 107970, 0}, {"krbnkn", 1, 215940, 0},
      {"kqrpkq", 0, 59, 0},    {"kqqpkq", 0, 59, 0},     {"kqppkq", 0, 59, 0},     {"kpppkq", 0, 59, 0},
      {"kbnpkp", 0, 47, 14},   {"knnpkp", 0, 47, 14},    {"knppkp", 0, 46, 616},   {"kpppkp", 0, 45, 13244},
      {"kqrnkp", 0, 48, 0},    {"kqqnkp", 0, 48, 0},     {"kqnnkp", 0, 48, 0},     {"kqqqkp", 0, 48, 0},
      {"kqrpkq", 1, 169920, 0}, {"kqqpkq", 1, 84960, 0}, {"kqppkq", 1, 66552, 0},  {"kpppkq", 1, 17296, 0},
      {"kbnpkp", 1, 166380, 46284}, {"knnpkp", 1, 83190, 23142}, {"knppkp", 1, 63779, 35112},
      {"kpppkp", 1, 16215, 13244}, {"kqrnkp", 1, 215940, 0}, {"kqqnkp", 1, 107970, 0}, {"kqnnkp", 1, 107970, 0},
      {"kqqqkp", 1, 35990, 0},
      {"kqrkqb", 0, 3540, 0},  {"kqrkbb", 0, 1770, 0},
  };
  for (const auto& c : kShapes) {
    const TbIndexPlan& plan = tbIndexPlans[tbtest::tableId(c.name)][c.side];
    EXPECT_EQ(plan.freeRange, c.freeRange) << c.name << " " << c.side;
    EXPECT_EQ(plan.hasEp, c.epPerGroup != 0) << c.name << " " << c.side;
    if (plan.hasEp) {
      EXPECT_EQ(plan.epDigitRange * 14, c.epPerGroup) << c.name << " " << c.side;
    }
  }
}

TEST_F(TbIndex, EnPassantBlock) {
  // "kpkp": 3,838,208 + kk x 14 + code, and only with an e.p. square.
  const uint64_t withEp = indexOf("kpkp", 0, "Kg1 Pe5", "Kb8 Pd5", square("d6"));
  EXPECT_GE(withEp, 3838208u);
  EXPECT_LT(indexOf("kpkp", 0, "Kg1 Pe5", "Kb8 Pd5"), 3838208u);
  // The colour-reversed twin with invert 1.
  EXPECT_EQ(indexOf("kpkp", 0, "Kg8 Pe4", "Kb1 Pd4", square("d3"), 1), withEp);
  // Side 1 of "kppkpp" is side 0 of the colour-reversed position.
  EXPECT_EQ(indexOf("kppkpp", 0, "Ka8 Pc4 Ph7", "Kg1 Pb4 Pf2", square("b3"), 1), 1871465528u);
  EXPECT_EQ(indexOf("kppkpp", 1, "Kg1 Pb4 Pf2", "Ka8 Pc4 Ph7"),
            indexOf("kppkpp", 0, "Ka8 Pc4 Ph7", "Kg1 Pb4 Pf2", 127, 1));
  // Slot order of the two white pawns does not matter.
  EXPECT_EQ(indexOf("kppkpp", 0, "Kb1 Pe5 Pc5", "Kh8 Pa7 Pd5", square("d6")), 1873026130u);
  // Sides without an e.p. block ignore the e.p. square.
  EXPECT_EQ(indexOf("kbbkpp", 0, "Kb1 Bc5 Be5", "Kh8 Pd5 Pa7", square("d6")),
            indexOf("kbbkpp", 0, "Kb1 Bc5 Be5", "Kh8 Pd5 Pa7"));
  EXPECT_EQ(indexOf("kqqpkq", 1, "Kb1 Qc5 Qe2 Pe4", "Kh8 Qa7", square("e3")),
            indexOf("kqqpkq", 1, "Kb1 Qc5 Qe2 Pe4", "Kh8 Qa7"));
  // Mirror image (e.p. square mirrored too).
  EXPECT_EQ(indexOf("knpkpp", 0, "Kf1 Nb1 Pd5", "Ka8 Pe5 Ph6", square("e6")), 5031226588u);
  // "kppkp" with both white pawns able to capture: the lower one captures.
  EXPECT_EQ(indexOf("kppkp", 0, "Kb1 Pe5 Pc5", "Kg8 Pd5", square("d6")), 83178695u);
}

TEST_F(TbIndex, SymmetryAndSlotOrder) {
  // Like men in any slot order.
  EXPECT_EQ(indexOf("krrbk", 1, "Kc2 Rh3 Ra7 Bf5", "Ke8"), 22282639u);
  EXPECT_EQ(indexOf("kqqqk", 0, "Kc2 Qa7 Qh3 Qf5", "Ke8"), indexOf("kqqqk", 0, "Kc2 Qf5 Qa7 Qh3", "Ke8"));
  EXPECT_EQ(indexOf("knnknn", 0, "Kb1 Nc3 Nf5", "Kh8 Ng6 Na6"), indexOf("knnknn", 0, "Kb1 Nf5 Nc3", "Kh8 Na6 Ng6"));
  // Board symmetries of a pawnless table (XOR 7, 56, 63 and the transposition).
  EXPECT_EQ(indexOf("kqnnkb", 0, "Kc2 Qe1 Nf6 Nb5", "Ka8 Bh3"), 1470504988u);   // XOR 7
  EXPECT_EQ(indexOf("kqnnkb", 0, "Kf7 Qd8 Nc3 Ng4", "Kh1 Ba6"), 1470504988u);   // XOR 56
  EXPECT_EQ(indexOf("kqnnkb", 0, "Kb6 Qa4 Nf3 Ne7", "Kh8 Bc1"), 1470504988u);   // transposed
  EXPECT_EQ(indexOf("kqnnkb", 1, "Kb6 Qa4 Nf3 Ne7", "Kh8 Bc1"), 107820301u);
  // e.p. square and invert change nothing in a pawnless table.
  EXPECT_EQ(indexOf("kqrkqb", 0, "Kg2 Qd1 Ra4", "Kc7 Qh8 Be5", 20, 1), 2666077099u);
  // Both kings on the long diagonal: no reflection.
  EXPECT_NE(indexOf("knnknn", 0, "Kb2 Nc1 Ne1", "Kg7 Na8 Nh5"), indexOf("knnknn", 0, "Kb2 Na3 Na5", "Kg7 Nh1 Ne8"));
  // "knpkq" side 1 (frame mirrored by the black king): the pawn is the
  // fastest digit and ignores the pieces below it.
  const uint64_t base = indexOf("knpkq", 1, "Ka2 Nc3 Pg4", "Kf6 Qb8");
  EXPECT_EQ(indexOf("knpkq", 1, "Ka2 Nc3 Pf4", "Kf6 Qb8"), base + 1);
}

// Inputs no legal position produces give the sentinel, never a wild read.
TEST_F(TbIndex, SentinelForBadInput) {
  EXPECT_EQ(indexOf("kqk", 0, "Ke1 Qd4", "Ke2"), TB_NO_INDEX);          // kings touch: pair 4000
  EXPECT_EQ(indexOf("kqk", 0, "Ke1 Qe7", "Ke8"), TB_NO_INDEX);          // queen at contact: rank -1
  EXPECT_EQ(indexOf("kpk", 0, "Kd3 Pe8", "Ke6"), TB_NO_INDEX);          // pawn on the last rank
  EXPECT_EQ(indexOf("kqkp", 0, "Ka1 Qh5", "Ke6 Pd1"), TB_NO_INDEX);     // free pawn on rank 1
  EXPECT_EQ(indexOf("kpkp", 0, "Kg1 Pa5", "Kb8 Pd5", square("d6")), TB_NO_INDEX);  // no capturer
  EXPECT_EQ(indexOf("kpkp", 0, "Kg1 Pe5", "Kb8 Pd4", square("d6")), TB_NO_INDEX);  // no moved pawn
  EXPECT_EQ(indexOf("kpkp", 0, "Kg1 Pe5", "Kb8 Pd5", 200), TB_NO_INDEX);          // e.p. square off board
  EXPECT_EQ(indexOf("kpkp", 0, "Kg1 Pe5", "Kd7 Pd5", square("d6")), TB_NO_INDEX);  // origin occupied
  TbSideSquares a, b;
  tbtest::setSide(a, "Ke1 Qd4");
  tbtest::setSide(b, "Ke8");
  a[12] = 64;
  EXPECT_EQ(tbDescriptors[5].indexFn[0](a, b, 127, 0), TB_NO_INDEX);
  a[12] = -5;
  EXPECT_EQ(tbDescriptors[5].indexFn[1](a, b, 127, 0), TB_NO_INDEX);
  tbtest::setSide(a, "Kd3 Pe4");
  EXPECT_EQ(tbDescriptors[1].indexFn[0](a, b, 127, 7), TB_NO_INDEX);     // invert not 0 or 1
}

}  // namespace
