// One node of a search: the Position record (per ply), its move stack and the
// killer pair word.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/board/board.h"

constexpr int MAX_PLY = 128;  // deepest Position stack a search thread keeps

// A killer pair is shared by the threads working at one split point, so it is
// read and written whole, as one relaxed atomic 32-bit word (pairs are 4-aligned).
struct KillerPair {
  Move first, second;
};
inline KillerPair readKillers(const Move *k) {
  uint32_t w = __atomic_load_n(reinterpret_cast<const uint32_t *>(k), __ATOMIC_RELAXED);
  return KillerPair{(Move)(w & 0xFFFF), (Move)(w >> 16)};
}
inline void setKillers(Move *k, Move first, Move second) {
  __atomic_store_n(reinterpret_cast<uint32_t *>(k), (uint32_t)first | ((uint32_t)second << 16), __ATOMIC_RELAXED);
}

constexpr int MOVE_LIST_SIZE = 320;  // any pseudo-legal list plus seeded moves

// One node of a search.
struct Position {
  Move moveList[MOVE_LIST_SIZE];
  uint64_t searchWord;
  // ---- body (copied by copyPosition and playGameMove) ----
  uint64_t ownBits, enemyBits, allBits, ownPawnBits, enemyPawnBits;
  int32_t statusFlags;
  int32_t nodeFlags;
  int32_t score;
  int32_t moverOldValue;
  int32_t futilityGap;
  int32_t matedScore;
  PieceRecord *capturedPiece;  // the Board's sentinel when nothing was taken
  PieceRecord *pieceCursor;
  PieceRecord *threatTarget;
  uint64_t key;
  int32_t epSquare;
  int32_t side;
  int32_t opponent;
  int32_t shuffleCount;
  int32_t halfMoveClock;
  Move threatMove;   // from = attacking piece's square, to = attacked piece's square
  Move pendingThreat;
  Move lastMove;
  int32_t threatKind;
  int32_t movesTried;
  alignas(4) Move childKillers[2];
  Position *parent;
  PieceListHead *ownPieces;
  int32_t pickerStage;
  Move *quietStart;
  Move *moveCursor;
  Board *pg;
  // remaining per-node words of the search
  int32_t savedBeta;
  int32_t scoreCeiling;
  int32_t boundFlags;
  int32_t bestScore;
  Move hashMove;
  Move unresolvedThreat;
  int32_t inCheck;
  struct HashEntry *hashEntry;  // the entry this node holds locked, if any
};
// First body field: copies of a Position start here.
constexpr size_t POSITION_BODY = offsetof(Position, ownBits);
