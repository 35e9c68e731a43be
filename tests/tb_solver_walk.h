// Helpers of the solver tests: square names, a walk over every placement of
// a table's men, and the value a position must have given its moves' values.
#pragma once

#include <cstdint>

#include "tests/tb_solver.h"

namespace tbwalk {

constexpr int SQUARE_BITS = 6;
constexpr int SQUARE_MASK = 63;
constexpr int MIRROR_RANKS = 56;  // sq ^ 56: the same file seen from the other side

// "e4" -> 28 (a1 = 0).
inline int square(const char *name) { return (name[0] - 'a') + (name[1] - '1') * 8; }

// Calls f(whiteSquares, blackSquares, whiteToMove) for every placement of the
// table's men on the 64 squares (legal or not) and both sides to move.
template <typename F>
void forEachPosition(const SolverTable *table, F f) {
  int whiteMen = solverSideMen(table, true), men = whiteMen + solverSideMen(table, false);
  uint64_t placements = 1ULL << (SQUARE_BITS * men);
  for (uint64_t p = 0; p < placements; p++) {
    int sq[SOLVER_MAX_MEN];
    for (int i = 0; i < men; i++) sq[i] = (int)((p >> (SQUARE_BITS * i)) & SQUARE_MASK);
    f(sq, sq + whiteMen, true);
    f(sq, sq + whiteMen, false);
  }
}

// Longest mate (largest value) with the given side to move.
inline int longestWin(const SolverTable *table, bool whiteToMove) {
  int longest = 0;
  forEachPosition(table, [&](const int *w, const int *b, bool wtm) {
    if (wtm != whiteToMove) return;
    int v = solverValue(table, w, b, wtm);
    if (v != SOLVER_ILLEGAL && v > longest) longest = v;
  });
  return longest;
}

// Value implied by the moves' results (each from the view of the opponent,
// who moves next): the quickest mate through a move that leaves the opponent
// lost, else a draw if a move draws, else the slowest loss. With no legal move
// it answers the checkmate value -1; a stalemate must then read 0 instead.
inline int valueFromMoves(const int *childValues, int moves) {
  int quickestWin = 0, slowestLoss = 0;
  bool draws = false;
  for (int k = 0; k < moves; k++) {
    int c = childValues[k];
    if (c < 0 && (quickestWin == 0 || -c < quickestWin)) quickestWin = -c;
    if (c == 0) draws = true;
    if (c > 0 && c + 1 > slowestLoss) slowestLoss = c + 1;
  }
  if (quickestWin) return quickestWin;
  if (draws) return 0;
  return moves == 0 ? -1 : -slowestLoss;
}

}  // namespace tbwalk
