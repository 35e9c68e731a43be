// The generic index routine: turns a position of a table into its entry
// index by interpreting the table side's plan (index_plan.h).
#pragma once

#include <cstdint>

#include "tablebases/index_plan.h"

// Index of the position (first, second: the table's first and second side's
// squares; epSquare 0..63 or 127 for none; invert 0 or 1) under `plan`.
// Returns TB_NO_INDEX, which is at least every stored length, for input no
// legal position produces: a square outside 0..63, a king pair or a man on a
// square the enumeration excludes, or an e.p. square without a moved pawn
// and a capturing pawn.
uint64_t planIndex(const TbIndexPlan& plan, const int32_t* first, const int32_t* second, int32_t epSquare,
                   int32_t invert);

// The slowest part of the index alone: G of the normal block, or Ge of the
// e.p. block when `epBlock` is set (the offline length search orders group
// placements by it). TB_NO_INDEX as planIndex.
uint64_t planGroupIndex(const TbIndexPlan& plan, const int32_t* first, const int32_t* second, int32_t invert,
                        bool epBlock);

// The 880 entry points of the descriptor table: thin instances over the
// plans, one per table id and side.
template <int Id, int Side>
uint64_t tbIndexEntry(const int32_t* first, const int32_t* second, int32_t epSquare, int32_t invert) {
  return planIndex(tbIndexPlans[Id][Side], first, second, epSquare, invert);
}
