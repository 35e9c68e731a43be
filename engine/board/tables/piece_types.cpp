// The thirteen static piece descriptors, one per PieceCode and linked in code
// order. Every Board copies them; only the zobrist pointers are filled in later
// (by the key generation).
#include "engine/board/tables/piece_types.h"

#include "engine/board/tables/geometry.h"

namespace {
// Direction runs in directionList, inclusive bounds. Pawns and the empty code
// have an empty run (first == last + 1), so a loop "first..last" never starts.
constexpr const int32_t *kKingFirst = directionList + 0;
constexpr const int32_t *kKingLast = directionList + 7;
constexpr const int32_t *kRookFirst = directionList + 0;
constexpr const int32_t *kRookLast = directionList + 3;
constexpr const int32_t *kBishopFirst = directionList + 4;
constexpr const int32_t *kBishopLast = directionList + 7;
constexpr const int32_t *kKnightFirst = directionList + 8;
constexpr const int32_t *kKnightLast = directionList + 15;
constexpr const int32_t *kNoneFirst = directionList + 16;
constexpr const int32_t *kNoneLast = directionList + 15;
}  // namespace

// next, code, kind, class, letter, side, capability, middlegame, endgame,
// first direction, last direction, square table, zobrist, count, current value
PieceKind PieceType[13] = {
    {&PieceType[1], 0, 12, 12, 'k', -1, 1, 14000, 14000, kKingFirst, kKingLast, nullptr, nullptr, 0, 0},
    {&PieceType[2], 1, 11, 11, 'q', -1, 2, 720, 992, kKingFirst, kKingLast, nullptr, nullptr, 0, 0},
    {&PieceType[3], 2, 10, 10, 'r', -1, 4, 350, 511, kRookFirst, kRookLast, nullptr, nullptr, 0, 0},
    {&PieceType[4], 3, 9, 9, 'b', -1, 8, 247, 319, kBishopFirst, kBishopLast, nullptr, nullptr, 0, 0},
    {&PieceType[5], 4, 8, 9, 'n', -1, 16, 225, 308, kKnightFirst, kKnightLast, nullptr, nullptr, 0, 0},
    {&PieceType[6], 5, 7, 7, 'p', -1, 64, 52, 84, kNoneFirst, kNoneLast, nullptr, nullptr, 0, 0},
    {&PieceType[7], 6, 6, 6, 'E', 0, 0, 0, 0, kNoneFirst, kNoneLast, nullptr, nullptr, 0, 0},
    {&PieceType[8], 7, 7, 7, 'P', 1, 32, 52, 84, kNoneFirst, kNoneLast, nullptr, nullptr, 0, 0},
    {&PieceType[9], 8, 8, 9, 'N', 1, 16, 225, 308, kKnightFirst, kKnightLast, nullptr, nullptr, 0, 0},
    {&PieceType[10], 9, 9, 9, 'B', 1, 8, 247, 319, kBishopFirst, kBishopLast, nullptr, nullptr, 0, 0},
    {&PieceType[11], 10, 10, 10, 'R', 1, 4, 350, 511, kRookFirst, kRookLast, nullptr, nullptr, 0, 0},
    {&PieceType[12], 11, 11, 11, 'Q', 1, 2, 720, 992, kKingFirst, kKingLast, nullptr, nullptr, 0, 0},
    {nullptr, 12, 12, 12, 'K', 1, 1, 14000, 14000, kKingFirst, kKingLast, nullptr, nullptr, 0, 0},
};
