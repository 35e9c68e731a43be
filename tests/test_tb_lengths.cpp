#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tablebases/enumerations.h"
#include "tablebases/index_plan.h"
#include "tablebases/length_search.h"
#include "tests/tb_position.h"

namespace {

class TbLengths : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { initEnumerations(); }
};

// The rows of the descriptor table whose lengths are stated, with their flags.
TEST_F(TbLengths, StatedRows) {
  const struct {
    int id;
    const char* name;
    int flags;
    int64_t length0, length1;
    int extents;
  } kRows[] = {
      {1, "kpk", 0, 81664, 84012, 1},
      {5, "kqk", 0, 25629, 28644, 1},
      {6, "kpkp", 0, 3863492, 3863492, 1},
      {8, "knkn", 1, 1603202, 1603202, 1},
      {35, "kqqk", 0, 698739, 873642, 1},
      {36, "kppkp", 0, 84219361, 89391280, 1},
      {145, "kqqqk", 0, 12479974, 17472840, 1},
      {146, "knnknn", 1, 1301488080, 1301488080, 1},
      {151, "krnknn", 2, 2723107830, 2602976160, 1},
      {180, "kbnkbn", 1, 5489194800, 5489194800, 1},
      {186, "krnkbn", 6, 5446215660, 5489194800, 6},
      {201, "kppkpp", 3, 1917741812, 1917741812, 1},
      {203, "knpknp", 5, 12972508017, 12972508017, 7},
      {245, "kqpkqp", 7, 12651597608, 12651597608, 12},
      {440, "kqqpkq", 4, 7297961576, 8514011520, 4},
  };
  for (const auto& r : kRows) {
    const TbDescriptor& d = tbDescriptors[r.id];
    EXPECT_STREQ(d.name, r.name);
    EXPECT_EQ(d.flags, r.flags) << r.name;
    EXPECT_EQ(d.length[0], r.length0) << r.name;
    EXPECT_EQ(d.length[1], r.length1) << r.name;
    EXPECT_EQ(tbExtentCount(d, 0), r.extents) << r.name;
    EXPECT_EQ(tbExtentCount(d, 1), r.extents) << r.name;
  }
  // Lengths named in the text.
  EXPECT_EQ(tbDescriptors[tbtest::tableId("krk")].length[0], 27030);
  EXPECT_EQ(tbDescriptors[tbtest::tableId("kqkp")].length[0], 4810080);
  EXPECT_EQ(tbDescriptors[tbtest::tableId("knpkp")].length[1], 231758952);
  EXPECT_EQ(tbDescriptors[147].length[0], 2744597400);
  EXPECT_EQ(tbDescriptors[147].length[1], 2602976160);
}

TEST_F(TbLengths, Aggregates) {
  int unsplitLong = 0, split = 0, largestExtents = 0;
  int64_t largestUnsplit = 0;
  for (int id = 1; id <= TB_MAX_ID; id++) {
    const TbDescriptor& d = tbDescriptors[id];
    EXPECT_EQ(d.id, id);
    for (int side = 0; side < 2; side++) {
      const TbIndexPlan& plan = tbIndexPlans[id][side];
      // Every stored length is positive and within the side's index space,
      // which it undercuts by less than one group placement's worth.
      EXPECT_GT(d.length[side], 0) << d.name;
      EXPECT_LE(uint64_t(d.length[side]), plan.indexSpace) << d.name << " " << side;
      largestExtents = std::max(largestExtents, tbExtentCount(d, side));
    }
    if (d.flags & tbFlagSymmetric) {
      EXPECT_EQ(d.length[0], d.length[1]) << d.name;
    }
    if (d.flags & tbFlagSplit) {
      split++;
      EXPECT_GT(id, 145);
    } else if (std::max(d.length[0], d.length[1]) > (int64_t(1) << 31)) {
      unsplitLong++;
      largestUnsplit = std::max({largestUnsplit, d.length[0], d.length[1]});
    }
  }
  EXPECT_EQ(unsplitLong, 110);
  EXPECT_EQ(largestUnsplit, 5882853420);
  EXPECT_EQ(split, 153);
  EXPECT_EQ(largestExtents, 17);
}

// The committed lengths are the search's output: a sample re-derived.
TEST_F(TbLengths, SearchReproducesSample) {
  std::vector<int> ids;
  for (int id = 1; id <= 36; id++) ids.push_back(id);
  for (int id : {41, 86, 111, 147, 116, 141, 145, 146, 151, 180, 186, 201, 202, 203, 206, 245, 261, 266, 281, 330, 345,
                 346, 347, 351, 366, 372, 381, 411, 426, 440})
    ids.push_back(id);
  for (int id : ids)
    for (int side = 0; side < 2; side++)
      EXPECT_EQ(tbSearchLength(id, side), tbDescriptors[id].length[side]) << tbDescriptors[id].name << " " << side;
}

}  // namespace

namespace {

// Three against one without pawns: a side's length is its whole index space
// or falls short of it by one or two group values' worth of entries (R or
// 2R), except where the group's two strongest kinds share their top square
// (queen and rook both on f8 with the other king on h8 in the last king
// pair): then every last value of the third piece is an overlap, and the
// shortfall is that piece's count of squares (60 for a knight, 61 for a
// bishop) times R.
TEST_F(TbLengths, ThreeAgainstOnePawnlessShortfall) {
  for (int id = 266; id <= 345; id++)
    for (int side = 0; side < 2; side++) {
      const TbIndexPlan& plan = tbIndexPlans[id][side];
      const char* name = tbDescriptors[id].name;
      const uint64_t shortfall = plan.indexSpace - uint64_t(tbDescriptors[id].length[side]);
      const uint64_t R = plan.freeRange;
      if (side == 0 && strncmp(name, "kqr", 3) == 0 && (name[3] == 'n' || name[3] == 'b')) {
        EXPECT_EQ(shortfall, (name[3] == 'n' ? 60 : 61) * R) << name;
      } else {
        EXPECT_TRUE(shortfall == 0 || shortfall == R || shortfall == 2 * R)
            << name << " side " << side << " short by " << shortfall;
      }
    }
}

}  // namespace
