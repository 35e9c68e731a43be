// Retrograde endgame solver for the tests: solves small endgames (two to four
// men, pawns on one side only, so castling and en passant never arise) by
// distance to mate, with its own move generator and its own position numbering,
// independent of the engine core and of the tablebase index functions.
//
// Material signature: the letters of White's men, king first, then Black's,
// king first, from "kqrbnp" (e.g. "kqk", "kqkr", "kbnk"). The men of a side are
// addressed in signature order: square arrays hold the king's square at [0]
// and the other men after it in the order their letters appear.
//
// Squares: 0..63, a1 = 0, h1 = 7, a8 = 56.
//
// Values, from the view of the side to move (the tablebase probe's scale):
//   k > 0   the side to move mates in k moves;
//   -n < 0  the side to move is mated in n - 1 moves (-1: it is checkmated);
//   0       draw (stalemate included);
//   SOLVER_ILLEGAL for a position that cannot arise (men on one square, a pawn
//   on the first or last rank, the side not to move in check).
#pragma once

#include <cstdint>

constexpr int SOLVER_MAX_MEN = 4;
constexpr int SOLVER_ILLEGAL = -32768;

// Stored-entry forms of a value: an 8-bit entry is a signed byte, a 16-bit
// entry a signed word; both hold unknown (127 / 0x7FFF) for a value their
// scale cannot represent (an 8-bit entry cannot hold a checkmated position).
constexpr int SOLVER_BYTE_UNKNOWN = 127;
constexpr int SOLVER_WORD_UNKNOWN = 0x7FFF;

struct SolverTable;

// Solves the endgame of the signature (and, first, every smaller endgame its
// captures and promotions lead to) once per process; later calls return the
// same table. Null for a signature outside the solver's range (more than four
// men, pawns on both sides). The solved tables are process-wide and unlocked:
// solve from one thread.
const SolverTable *solveTable(const char *signature);

// Value of one position; whiteSquares/blackSquares in signature order.
int solverValue(const SolverTable *table, const int *whiteSquares, const int *blackSquares,
                bool whiteToMove);

// Values of the positions after each legal move, each from the view of the
// side to move there (captures and promotions looked up in the smaller
// endgame). Returns the number of legal moves, or -1 for an illegal position.
// childValues must hold SOLVER_MAX_CHILDREN values.
constexpr int SOLVER_MAX_CHILDREN = 128;
int solverChildValues(const SolverTable *table, const int *whiteSquares,
                      const int *blackSquares, bool whiteToMove, int *childValues);

// Number of men of one side, king included.
int solverSideMen(const SolverTable *table, bool white);

// Value as a stored 8-bit entry byte (-128..127) / 16-bit entry word.
int solverEntryByte(int value);
int solverEntryWord(int value);
