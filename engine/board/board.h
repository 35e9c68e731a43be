// The board records: piece codes and kinds, piece records and their lists,
// the prepared tables the board carries, and one search thread's Board.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/board/move.h"
#include "engine/board/score.h"
#include "platform/platform.h"

struct Position;

// PieceCode: 0..12, 6 empty, white pawn..king 7..12, black king..pawn 0..5.
enum PieceCodeValue {
  BLACK_KING = 0, BLACK_QUEEN, BLACK_ROOK, BLACK_BISHOP, BLACK_KNIGHT, BLACK_PAWN,
  EMPTY_CODE = 6,
  WHITE_PAWN = 7, WHITE_KNIGHT, WHITE_BISHOP, WHITE_ROOK, WHITE_QUEEN, WHITE_KING
};
// Colour-free kinds.
enum KindValue { KIND_EMPTY = 6, PAWN = 7, KNIGHT = 8, BISHOP = 9, ROOK = 10, QUEEN = 11, KING = 12 };

struct Board;
struct PieceRecord;

// A piece kind (also the static PieceType descriptors).
struct PieceKind {
  PieceKind *next;
  int32_t code;
  int32_t kind;
  int32_t pieceClass;  // the kind, but knights share the minor class 9
  int32_t letter;
  int32_t side;        // +1 white, -1 black, 0 empty
  int32_t capability;  // king 1, queen 2, rook 4, bishop 8, knight 16, white pawn 32, black pawn 64
  int32_t middlegameValue;
  int32_t endgameValue;
  const int32_t *firstDirection;  // run in directionList, inclusive bounds
  const int32_t *lastDirection;
  int16_t *squareTable;  // this kind's prepared table (120 entries, 0x88 index)
  uint64_t *zobrist;     // this code's key table (128 entries, 0x88 index)
  int32_t count;         // pieces of this code on the board
  int32_t currentValue;  // value added for a piece of this kind in the present preparation
};

// One piece. A list ends at the owning Board's sentinel (the Board's first member).
struct PieceRecord {
  PieceRecord *next;
  PieceRecord *prev;
  int32_t square;  // 0x88; 12 for a free record; square + 8 while captured
  int32_t value;   // currentValue plus square-table entry at its square
  int32_t colour;  // +1, -1; 0 free / sentinel
  PieceKind *kind;
  PieceKind desc;  // copy of *kind taken when the kind was assigned
  Board *board;
};

// A side's list head plus the per-side tables that hang off it.
struct PieceListHead {
  PieceRecord node;        // a PieceRecord-shaped node of the empty kind
  PieceListHead *other;    // the other side's head
  Move threatReplies[128]; // older reply at the 0x88 index, newer at index + 8
  int32_t pawnFileCount[12];  // files -2..9 at index file + 2
  int16_t pawnTerms[128];  // two int16 per square: index and index + 8
  uint8_t marks[128];      // per-square marks
  int32_t quiesceMask;     // white ~0x1000, black ~0x2000
  int32_t cannotWinMask;   // 0x20 white / 0x40 black when settings word 2 is set
  int32_t *pawnFiles() { return pawnFileCount + 2; }  // index by file -2..9
};

// Data shared by the preparation builders and make-move (1200 bytes in all).
struct PreparedDataFields {
  uint64_t occupancy;          // all-pieces bitboard at preparation time
  uint64_t pawns[2];           // [0] white, [1] black
  uint64_t pawnAttacks[2];
  uint64_t pawnsAndAttacks[2];
  uint64_t pieces[2];          // pieces other than pawns and king
  uint64_t nonPawnPieces;
  uint64_t lineMovers;         // pieces that move like a king, queen, rook or bishop
  uint64_t pawnSpanBits[2];
  uint64_t wideAttacks[2];
  uint64_t centreMask;
  int32_t pawnFileRecord[2][10][4];  // side, file -1..8 at index file + 1, four ranks
  int32_t anyQueen;
  int32_t middlegame;
  int32_t manyUnits;
  int32_t drawClass;
  int32_t oppositeBishops;
  int32_t whiteShelter;
  int32_t blackShelter;
  int32_t pawnSpan;
  int32_t emptyFiles;
  int32_t bishopColour[2];     // square colour of a side's single bishop, -1 otherwise
  uint64_t allPawns[2];        // every pawn of a side (pawns[] keeps the unattacked ones)
  int16_t backwardPressure[2][8];         // [side of the rooks][file]
  int16_t isolatedPressure[2][8];
  int16_t doubledIsolatedPressure[2][8];
  int32_t openFileRookBonus;
  const int32_t *passedTable;
};
struct PreparedData : PreparedDataFields {
  uint8_t spare[1200 - sizeof(PreparedDataFields)];
};
static_assert(sizeof(PreparedData) == 1200, "prepared data block is 1200 bytes");

// Square tables: white king, queen, rook, bishop, knight, pawn, then black ones.
struct PreparedTables {
  int16_t square[12][120];
  PreparedData data;
};
static_assert(sizeof(PreparedTables) == 4080, "prepared tables are 4080 bytes");
// Index into PreparedTables::square for a PieceCode (-1 for the empty code).
inline int tableIndexOfCode(int code) {
  static const int8_t map[13] = {6, 7, 8, 9, 10, 11, -1, 5, 4, 3, 2, 1, 0};
  return map[code];
}

// One search thread's board. The sentinel comes first so that a Board address
// is also the end-of-list / empty-square record.
struct Board {
  PieceRecord sentinel;
  PieceRecord pieces[33];   // 0..15 black (K Q R R B B N N P*8), 16 empty, 17..32 white (P*8 N N B B R R Q K)
  PieceRecord offBoard;
  PieceRecord *squareArray[384];  // 128 guards, 128 0x88 entries, 128 guards
  PieceListHead *headBySide[3];   // indexed by side + 1
  PieceRecord *endRecordBySide[3];  // record 0, none, record 32
  int32_t material;  // middlegame values of all knights, bishops, rooks, queens
  int32_t menCount;  // all pieces on the board
  // The search's context of the incremental score, copied with the board:
  int32_t engineSide;  // the side the engine plays (draw shrink and contempt are turned by it)
  int32_t tempo;       // the preparation's tempo, the base of make-move's score
  PieceListHead white;
  PieceListHead black;
  PieceListHead *listHeads[3];  // indexed by side + 1
  PieceKind kinds[13];
  int64_t nodeCount;
  int32_t drawShrink;
  int32_t kingActive;
  const uint8_t *kingZoneTable;
  // split words of the helper threads; other threads read splitEpoch at every
  // node, so it stays off the line of nodeCount, which make-move writes
  alignas(CACHE_LINE_BYTES) int32_t splitEpoch;
  int32_t threadId;
  Board *masterBoard;
  Position *splitPoint;
  alignas(CACHE_LINE_BYTES) PreparedTables prepared;

  PieceRecord **squares() { return squareArray + 128; }
  PieceRecord *at(int sq) { return squareArray[128 + sq]; }
  PieceRecord *end() { return &sentinel; }
};

// ---- small board queries ----
inline PieceRecord *pieceOn(const Board *b, int sq) { return b->squareArray[128 + sq]; }
// Kind of whatever stands on a square record (6 for an empty square).
inline int kindAt(const PieceRecord *p) { return p->colour == 0 ? KIND_EMPTY : p->desc.kind; }
inline bool isEmpty(const PieceRecord *p) { return p->colour == 0; }
inline int kingSquare(const Board *b, int side) { return b->endRecordBySide[side + 1]->square; }

// The PieceCode each of the 33 records starts as (index order of the Board).
extern const int8_t recordCode[33];
// Gives a record a kind (and its own copy of the kind's descriptor).
void assignKind(PieceRecord *r, PieceKind *kind);
// Sets a Board up empty: kinds, list heads, records, square array (once per Board).
void initBoard(Board *board);
// Resets a Board to an empty position (lists, square array, records).
void resetBoard(Board *board);
