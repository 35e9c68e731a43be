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

}  // namespace
