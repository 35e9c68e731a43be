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

// Position::statusFlags: facts of the position that its children inherit.
constexpr int32_t CASTLE_WHITE_SHORT = 2;   // castling rights (the rook on h1, h8, a1, a8)
constexpr int32_t CASTLE_BLACK_SHORT = 4;
constexpr int32_t CASTLE_WHITE_LONG = 8;
constexpr int32_t CASTLE_BLACK_LONG = 0x10;
constexpr int32_t CASTLE_WHITE = CASTLE_WHITE_SHORT | CASTLE_WHITE_LONG;
constexpr int32_t CASTLE_BLACK = CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG;
constexpr int32_t CASTLE_ANY = CASTLE_WHITE | CASTLE_BLACK;
constexpr int32_t WHITE_CANNOT_WIN = 0x20;  // the side lacks mating material (or the fifty-move count ran out)
constexpr int32_t BLACK_CANNOT_WIN = 0x40;
constexpr int32_t STATUS_NO_CHECK_EXTENSION = 0x80;  // no further in-check extension
constexpr int32_t STATUS_CHECKED_AT_FRONTIER = 0x100;  // reached by a checking move at the frontier (inherited)
constexpr int32_t STATUS_SHRINK_IN_SCORE = 0x400;  // the preparation's draw shrink is in the score
constexpr int32_t STATUS_RESULT_FIXED = 0x800;     // terminal: the score is final (repetition, captured king)
constexpr int32_t STATUS_WHITE_CAPTURES = 0x1000;  // capture-search allowances, cleared by a capture of that side
constexpr int32_t STATUS_BLACK_CAPTURES = 0x2000;

// Position::nodeFlags: facts of this node alone.
constexpr int32_t NODE_SPECIAL_MOVE = 1;      // the move made was e.p., castling or a promotion
constexpr int32_t NODE_NO_FUTILITY = 2;       // no futility base at this node
constexpr int32_t NODE_EP_VALID = 4;          // epSquare is a valid e.p. target
constexpr int32_t NODE_THREAT = 8;            // threatMove / threatTarget hold a recorded threat
constexpr int32_t NODE_SINGULAR = 0x20;       // the table move is singular
constexpr int32_t NODE_CAPTURES_ONLY = 0x40;  // only a few captures are searched here
constexpr int32_t NODE_MATE_THREAT = 0x80;    // the recorded threat is a mate threat
constexpr int32_t NODE_SCOUT = 0x200;         // searched with a null window
constexpr int32_t NODE_EXTENDED = 0x400;      // given one more ply; extends no child of its own
constexpr int32_t NODE_SORTED_QUIETS = 0x800;  // quiet moves generated at once, history-sorted
constexpr int32_t NODE_MATERIAL_ZERO = 0x1000;  // the board's material reached zero with this move
constexpr int32_t NODE_SHARED_SPLIT = 0x2000;  // a helper's copy of a split point shared with others
constexpr int32_t NODE_NO_PENDING_PUSH = 0x8000;  // do not seed pendingThreat

// One node of a search.
struct Position {
  Move moveList[MOVE_LIST_SIZE];
  uint64_t searchWord;
  // ---- body (copied by copyPosition and playGameMove) ----
  uint64_t ownBits, enemyBits, allBits, ownPawnBits, enemyPawnBits;
  int32_t statusFlags;  // STATUS_* and CASTLE_* bits
  int32_t nodeFlags;    // NODE_* bits
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
