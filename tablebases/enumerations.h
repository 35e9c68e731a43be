// Enumeration tables built once at start-up: for each man kind and reference
// king the squares a man may use and their ranks, and for each group of one
// to three men the offset of every king pair in the group's enumeration.
#pragma once

#include <cstdint>

// Enumeration kinds, in the order of the letters "pPNBRQ". p: a pawn that may
// stand next to the reference king (the side not to move's pawn); P: a pawn of
// the side to move, which may not give check from its square.
enum TbKind { kindOppPawn = 0, kindPawn = 1, kindKnight = 2, kindBishop = 3, kindRook = 4, kindQueen = 5 };
constexpr int TB_KINDS = 6;
constexpr const char* TB_KIND_LETTERS = "pPNBRQ";

// Group key: up to three kinds, highest first, each stored as kind + 1 in base
// 7 (0 = no man): key = (k1 + 1) * 49 + (k2 + 1) * 7 + (k3 + 1).
constexpr int TB_GROUP_KEYS = 343;
int tbGroupKey(int count, const int* kindsHighestFirst);

// pieceRank[kind][king][square]: rank of the square among those allowed to a
// man of that kind with the reference king on `king`; -1 where not allowed.
extern int8_t* pieceRank[TB_KINDS];
// pieceRankCount[kind][king]: number of allowed squares.
extern uint8_t* pieceRankCount[TB_KINDS];
// One-man offsets by king pair index (with pawns: kinds p..Q; pawnless: N..Q,
// the pawn kinds null). They are the one-man entries of groupOffsets.
extern int32_t* kkOffsetPawns[TB_KINDS];
extern int32_t* kkOffsetPawnless[TB_KINDS];
// groupOffsets[variant][key] (variant 1 = with pawns, over 1806 pairs; 0 =
// pawnless, over 462 pairs): null for groups that do not exist.
extern int32_t* groupOffsets[2][TB_GROUP_KEYS];
// Number of enumerated positions of each group over all king pairs; 0 for
// groups that do not exist.
extern int32_t groupTotals[2][TB_GROUP_KEYS];

// Set to print the enumeration report (no code path sets it).
extern bool tbVerbose;

// Builds every table above on the first call; later calls return at once.
void initEnumerations();

// Fills one kind's ranks (all 4096 first set to -1) and counts.
void initPieceRanks(int kind, int8_t* ranks, uint8_t* counts);

// Fill one offset table (by king pair index) and its total for a group of one,
// two or three men of the given kinds; `pairs` is kkIndexPawns or
// kkIndexPawnless.
void sumOneGroup(int32_t* offsets, const int16_t (&pairs)[64][64], int kind, int32_t* total);
void sumTwoGroup(int32_t* offsets, const int16_t (&pairs)[64][64], int kind1, int kind2, int32_t* total);
void sumThreeGroup(int32_t* offsets, const int16_t (&pairs)[64][64], int kind1, int kind2, int kind3,
                   int32_t* total);

// Ways to place n (0..3) like men on c squares: C(c, n).
inline int64_t tbChoose(int64_t c, int n) {
  if (c < n) return 0;
  if (n == 0) return 1;
  if (n == 1) return c;
  if (n == 2) return c * (c - 1) / 2;
  return c * (c - 1) * (c - 2) / 6;
}

// Squares a man of `kind` may use with the mover's king on `moverKing` and the
// reference king on `otherKing`: the count less one when the mover's king
// stands on an allowed square.
inline int tbAvailable(int kind, int otherKing, int moverKing) {
  return pieceRankCount[kind][otherKing] - (pieceRank[kind][otherKing * 64 + moverKing] != -1 ? 1 : 0);
}
