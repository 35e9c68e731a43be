// The tablebase probe: from a board of piece codes to the table of its
// material, the entry index and the stored value, converted to a score.
//
// Probe board: 64 bytes, one piece code per square a1..h8 (0..63): 6 empty,
// White's pawn, knight, bishop, rook, queen, king 7..12, Black's 5..0.
//
// Scores: k > 0 the side to move mates in k moves, -n the side to move is
// mated in n - 1 moves, 0 a draw.
#pragma once

#include <cstdint>

#include "tablebases/descriptor.h"

constexpr int TB_BOARD_SQUARES = 64;
constexpr int TB_PIECE_CODES = 13;
constexpr int TB_KINDS_PER_SIDE = 5;  // pawn, knight, bishop, rook, queen
constexpr int TB_KING_SLOT = 15;
constexpr int TB_SLOTS_PER_KIND = 3;
constexpr int32_t TB_NO_EP = 127;  // the index functions' "no e.p. square"

// Piece code -> men kind: White's pawn..queen 0..4, Black's 5..9, -1 for kings
// and empty squares.
extern const int32_t probePieceKind[TB_PIECE_CODES];

// Successful probes since the front end last reset it.
extern int32_t tbhits;

// 1 and the score when the position's table is registered and its entry
// known; 0 (score untouched) otherwise. side > 0: White to move. epSquare:
// the e.p. target square 0..63, 0 for none.
int tbProbe(const uint8_t* board, int side, int epSquare, int* score);

// 1 when at least one extent of the table side has a registered file (side 0's
// for a symmetric table).
int tablebaseRegistered(int id, int side);

// The table's index function for that side to move.
TbIndexFn tablebaseIndexFn(int id, int side);

// The stored entry on one scale (8-bit entries widened), or 0x7FFF unknown.
int32_t tablebaseValue(int id, int side, uint64_t index);
