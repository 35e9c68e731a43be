// The empty Board: kinds, list heads, piece records and the square array.
#include <cassert>
#include <cstring>
#include <initializer_list>

#include "engine/board/position.h"
#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/piece_types.h"

// Zero square table of the empty kind.
static int16_t emptySquareTable[120];

// The PieceCode each of the 33 records starts as (index order of the Board).
const int8_t recordCode[33] = {
    BLACK_KING,   BLACK_QUEEN,  BLACK_ROOK,   BLACK_ROOK,   BLACK_BISHOP, BLACK_BISHOP, BLACK_KNIGHT,
    BLACK_KNIGHT, BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,
    BLACK_PAWN,   BLACK_PAWN,   EMPTY_CODE,   WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,
    WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,   WHITE_KNIGHT, WHITE_KNIGHT, WHITE_BISHOP,
    WHITE_BISHOP, WHITE_ROOK,   WHITE_ROOK,   WHITE_QUEEN,  WHITE_KING};

void assignKind(PieceRecord *r, PieceKind *kind) {
  assert(r && kind);
  r->kind = kind;
  r->desc = *kind;
}

static void initEmptyRecord(Board *b, PieceRecord *r) {
  r->next = r->prev = b->end();
  r->square = NO_SQUARE;
  r->value = 0;
  r->colour = 0;
  assignKind(r, &b->kinds[EMPTY_CODE]);
  r->board = b;
}

void initBoard(Board *b) {
  assert(b);
  for (int c = 0; c < 13; c++) {
    PieceKind *k = &b->kinds[c];
    *k = PieceType[c];
    k->next = c < 12 ? &b->kinds[c + 1] : nullptr;
    int t = tableIndexOfCode(c);
    k->squareTable = t >= 0 ? b->prepared.square[t] : emptySquareTable;
    k->count = 0;
  }
  b->headBySide[0] = b->listHeads[0] = &b->black;
  b->headBySide[1] = b->listHeads[1] = nullptr;
  b->headBySide[2] = b->listHeads[2] = &b->white;
  b->endRecordBySide[0] = &b->pieces[0];
  b->endRecordBySide[1] = nullptr;
  b->endRecordBySide[2] = &b->pieces[32];
  b->white.other = &b->black;
  b->black.other = &b->white;
  b->white.quiesceMask = ~STATUS_WHITE_CAPTURES;
  b->black.quiesceMask = ~STATUS_BLACK_CAPTURES;
  b->engineSide = 1;
  b->tempo = 1;
  b->nodeCount = 0;
  // split words: the board is its own master and has no split point (a
  // search sets them again at its root)
  b->splitEpoch = 0;
  b->threadId = 1;
  b->masterBoard = b;
  b->splitPoint = nullptr;
  resetBoard(b);
}

void resetBoard(Board *b) {
  assert(b);
  initEmptyRecord(b, &b->sentinel);
  initEmptyRecord(b, &b->offBoard);
  for (PieceListHead *h : {&b->white, &b->black}) {
    initEmptyRecord(b, &h->node);
    memset(h->pawnFileCount, 0, sizeof h->pawnFileCount);
  }
  for (int i = 0; i < 384; i++) b->squareArray[i] = &b->offBoard;
  for (int sq = 0; sq < 128; sq++)
    if (onBoard(sq) || sq == NO_SQUARE) b->squares()[sq] = b->end();
  for (int i = 0; i < 33; i++) {
    PieceRecord *r = &b->pieces[i];
    initEmptyRecord(b, r);
    assignKind(r, &b->kinds[recordCode[i]]);
  }
  for (int c = 0; c < 13; c++) b->kinds[c].count = 0;
  b->material = 0;
  b->menCount = 0;
}

