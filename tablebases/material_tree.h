// The lookup from a position's material to a tablebase id.
//
// MaterialCounts: white pawns, knights, bishops, rooks, queens, then black
// pawns, knights, bishops, rooks, queens (kings are not counted).
// The tree has one level per count in that order. A node of limit m has m + 1
// slots, one per count 0..m; the child for count c has limit m - c, the top
// node limit 4, so the tree holds exactly the material of at most four men
// besides the kings. Slots of the first nine levels hold child nodes, slots of
// the tenth a table id: +id when the table's White is the position's White,
// -id when the table matches with colours reversed, 0 for none.
#pragma once

#include <cstdint>

#include "tablebases/descriptor.h"

constexpr int TB_MATERIAL_KINDS = 10;      // five kinds of men per colour
constexpr int TB_MATERIAL_PER_SIDE = 5;
constexpr int TB_MATERIAL_MAX_MEN = 4;     // men besides the kings

struct MaterialCounts {
  int32_t count[TB_MATERIAL_KINDS];
};

struct MaterialNode;
union MaterialSlot {
  MaterialNode* child;
  int32_t id;
};
struct MaterialNode {
  int32_t limit;
  MaterialSlot* slots;  // limit + 1 slots, in the same allocation
};

extern MaterialNode* materialTree;  // null until initMaterialTree

// Builds the tree once (later calls do nothing).
void initMaterialTree();

// The material of a table's name: 'k', White's men, 'k', Black's men.
MaterialCounts materialOfName(const char* name);

// Enters the table's id (and, unless symmetric, -id for the colour-reversed
// material). 1 on success, 0 when the material lies outside the tree.
int registerMaterial(const TbDescriptor& d);

// The id stored for the material (negative: colours reversed); 0 when none,
// when a count exceeds what the tree allows, or before the tree exists.
int lookupMaterial(const MaterialCounts& counts);
