// Per-(table, side) description of an index function: which men form the
// group, which are free and in what placement and digit order, and the layout
// of the e.p. block. One plan per table and side, derived once from the
// table's name, the side and the table's family; the index engine
// (index_engine.h) interprets it.
#pragma once

#include <cstdint>

#include "tablebases/descriptor.h"

constexpr uint64_t TB_NO_INDEX = UINT64_MAX;  // sentinel: input no legal position produces

// Families differ only in the order of the free men.
// A (3-5 men, 6-man 2+2 pawnless, 6-man 3+1 pawnless): placed pawns first, then
//   single pieces, then like sets, each in name order; digits in name order,
//   pawns last.
// B (6-man 2+2 with pawns): placed and digited pawns first, then pieces by
//   rising kind.
// C (6-man 3+1 with pawns): placed pawns first, then pieces in name order;
//   digits in name order, pawns last.
enum TbFamily { familyA = 0, familyB = 1, familyC = 2 };

// One unit: one to three like men of one side, counted as one digit.
struct TbUnit {
  int8_t kind;   // enumeration kind (TbKind); free pawns use kindPawn
  int8_t count;  // men in the unit, 1..3
  int8_t who;    // 0: the mover's array, 1: the opponent's
  int8_t slot;   // first slot of the men in that array
  int8_t avail;  // free units: squares each man ranges over; group units: 0 (depends on the kings)
  int64_t range; // free units: values of the unit, C(avail, count); group units: 0
};

struct TbIndexPlan {
  bool valid;
  bool pawns;      // pawn frame and king pairs
  bool swapSides;  // evaluate side 0's plan with the arrays exchanged and invert negated
  bool moverFirst; // the mover's men are the first array
  int32_t groupFlip; // XOR for the king pair and group squares (56 on side 1 with a pawn group)

  // Men other than the kings, per side (0 mover, 1 opponent): slots used.
  int8_t menCount[2];
  int8_t menSlot[2][4];
  int8_t pawnCount[2];   // pawns per side, in slots 0.. of that side

  // Normal block: G = offsets[kk] + group value; index = G * freeRange + F.
  int8_t groupUnits;
  TbUnit group[3];      // digit order, slowest first
  int32_t groupKey;     // groupOffsets key, -1: the group is the king pair
  int8_t freeUnits;
  TbUnit freeUnit[4];   // placement order
  int8_t digitOrder[4]; // free units by digit order, slowest first
  uint64_t freeRange;
  uint64_t normalSize;

  // E.p. block (both sides have pawns): index = normalSize +
  // ((Ge, opponent digits, mover's other pawns) as a mixed-radix number) * 14 + code.
  bool hasEp;
  int8_t epGroupUnits;
  TbUnit epGroup[2];
  int32_t epGroupKey;   // -1: Ge is the king pair
  int8_t epOppUnits;
  TbUnit epOpp[3];      // digit order; a pawn unit leaves the moved pawn out
  int8_t epMoverPawns;  // the mover's pawns other than the capturer
  uint64_t epDigitRange;
  uint64_t epGroupCount;

  uint64_t indexSpace;  // normal block plus e.p. block
};

extern TbIndexPlan tbIndexPlans[TB_TABLE_COUNT][2];

// Family of a table id.
TbFamily tbFamilyOf(int id);

// Derives the plan of one table and side from its name, flags and family.
// The enumeration tables must exist (group totals size the blocks).
void buildIndexPlan(int id, int side, TbIndexPlan* plan);

// Builds all 880 plans; called by initEnumerations.
void initIndexPlans();
