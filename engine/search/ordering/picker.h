// The staged move picker of the searches and its move ordering: capture keys,
// history order, seeded candidates.
#pragma once
#include "engine/board/position.h"

// Quiet moves of every piece (threatTarget skipped under NODE_THREAT), history-sorted.
void genQuietMoves(Position *pos);

// Candidate (seeded) moves the picker handed out before its first generation;
// generated moves equal to one of them are skipped.
constexpr int PICKER_MEMORY_SIZE = 32;
struct PickerMemory {
  Move moves[PICKER_MEMORY_SIZE];
  int count;
  uint64_t filter;  // a bit per remembered move (pickerFilterBit): clear means never remembered
};
// The filter bit of a move: its to-byte folded to six bits.
inline uint64_t pickerFilterBit(Move m) { return 1ull << ((m >> 8) & 63); }
inline void clearPickerMemory(PickerMemory *m) {
  m->count = 0;
  m->filter = 0;
}
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
