// Move generation and ordering: generators, staged picker helpers, attacker
// and between-square look-ups.
#pragma once
#include "engine/board/position.h"

// ---- generators (push onto the position's move stack) ----
// Tactical stage: captures, e.p., pawn pushes to the 7th rank and queen promotions.
void genCaptures(Position *pos);
// Quiet moves of the piece at pieceCursor: castling, under-promotions, the rest.
void genPieceQuietMoves(Position *pos);
// Quiet moves of every piece (threatTarget skipped under nodeFlags 8), history-sorted.
void genQuietMoves(Position *pos);
// Castling to the king side (direction +1) or queen side (-1) allowed now?
bool castlingAllowed(const Position *pos, int kingSquare, int direction);

// ---- board queries ----
// Square of an enemy piece that `piece` would attack from `square` (class above
// `limit`; 6 = the piece's own class, 11 = the enemy king only), or 12.
// With limit 11 a pawn on its 7th rank may answer its free push square: a check
// is given only when the answer is the enemy king's square.
int findAttacker(int square, const PieceRecord *piece, uint64_t occupancy, int limit);
uint64_t squaresBetween(int from, int to);
// Is the square attacked by a piece of the given colour (sliders need an empty
// path in `occupancy`)? False for a square off the board.
bool squareAttacked(const Board *b, int square, int byColour, uint64_t occupancy);
// Is the king of the given colour attacked on this board? (A captured king counts as attacked.)
bool kingAttacked(const Position *pos, int colour);
// Full pseudo-legality of an arbitrary move word in this position (hash moves):
// true exactly when the generators would produce it.
bool isPseudoLegal(const Position *pos, Move move);

// ---- move stack and picker ----
// Pushes a move; silently refuses once the list is full.
void pushMove(Position *pos, Move move);
void resetPicker(Position *pos);
int moveEquals(Move a, Move b);
void unlockSearch();

// Candidate (seeded) moves the picker handed out before its first generation;
// generated moves equal to one of them are skipped.
constexpr int PICKER_MEMORY_SIZE = 32;
struct PickerMemory {
  Move moves[PICKER_MEMORY_SIZE];
  int count;
};
inline void clearPickerMemory(PickerMemory *m) { m->count = 0; }
// The staged picker: next pseudo-legal move of the position, NO_MOVE when done.
// Stages: 0 generate captures, 1 take captures, 3 quiet moves, 4 finished.
Move pickMove(Position *pos, PickerMemory *seen);
Move pickMove(Position *pos);  // without candidate memory

// ---- ordering ----
// Orders every move on the stack by capture key, highest on top, first-generated first among equals.
void orderCaptures(Position *pos);
int captureKey(const Position *pos, Move move);
// History order of every move on the stack (negative keys at the bottom).
void sortByHistory(Position *pos);
int historyKey(const Position *pos, Move move);

// ---- seeding helpers for the searches ----
// Validation of a stored move (killer, threat reply) before it is seeded.
// Rejects squares off the board, negative move words and castling.
bool isValidSeed(const Position *pos, Move move);
// Pushes the captures onto `target` by the first two pieces of the side's list
// that attack it (the second pushed first). Nothing for a square off the board.
void seedRecaptures(Position *pos, int target);
