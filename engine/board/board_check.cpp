// The board checker.
#include "engine/board/board_check.h"

#include <cassert>

#include "engine/board/keys.h"
#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/piece_types.h"

// One side's list: well linked, in record order, its records on the board
// where the square array says, and tallied into the counts.
static bool listIsOk(const Board *b, const PieceListHead *head, int colour, int *codeCount, int *men,
                     int *material, int *pawnFiles) {
  const PieceRecord *prev = &head->node;
  int steps = 0;
  for (const PieceRecord *r = head->node.next; r != &b->sentinel; r = r->next) {
    if (++steps > 16 || r < b->pieces || r >= b->pieces + 33) return false;
    if (r->prev != prev || r->colour != colour || r->board != b || !onBoard(r->square)) return false;
    // the list runs in record order: up the indexes for White, down for Black
    if (prev != &head->node && (colour > 0 ? r < prev : r > prev)) return false;
    if (b->squareArray[128 + r->square] != r || r->kind != &b->kinds[r->kind->code]) return false;
    if (r->desc.code != r->kind->code || r->kind->side != colour) return false;
    codeCount[r->kind->code]++;
    (*men)++;
    if (r->kind->kind == PAWN) pawnFiles[fileOf(r->square)]++;
    else *material += r->desc.middlegameValue;
    prev = r;
  }
  return true;
}

bool boardIsOk(const Board *b) {
  assert(b);
  // the square array: guards off the board, records on their own squares
  for (int i = 0; i < 384; i++) {
    int sq = i - 128;
    const PieceRecord *r = b->squareArray[i];
    if (sq >= 0 && sq < 128 && (onBoard(sq) || sq == NO_SQUARE)) {
      if (r == &b->sentinel) continue;
      if (!onBoard(sq) || r < b->pieces || r >= b->pieces + 33 || r->square != sq || r->colour == 0) return false;
    } else if (r != &b->offBoard) {
      return false;
    }
  }
  int codeCount[13] = {0}, men = 0, material = -2 * PieceType[WHITE_KING].middlegameValue;
  int whiteFiles[8] = {0}, blackFiles[8] = {0};
  if (!listIsOk(b, &b->white, 1, codeCount, &men, &material, whiteFiles)) return false;
  if (!listIsOk(b, &b->black, -1, codeCount, &men, &material, blackFiles)) return false;
  // every occupied square belongs to a listed record
  int occupied = 0;
  for (int sq = 0; sq < 128; sq++)
    if (onBoard(sq) && b->squareArray[128 + sq] != &b->sentinel) occupied++;
  if (occupied != men || men != b->menCount || material != b->material) return false;
  for (int c = 0; c < 13; c++)
    if (c != EMPTY_CODE && b->kinds[c].count != codeCount[c]) return false;
  for (int f = 0; f < 8; f++) {
    if (b->white.pawnFileCount[f + 2] != whiteFiles[f]) return false;
    if (b->black.pawnFileCount[f + 2] != blackFiles[f]) return false;
  }
  return true;
}

bool boardIsOk(const Position *pos, bool withKey) {
  assert(pos && pos->pg);
  const Board *b = pos->pg;
  if (!boardIsOk(b)) return false;
  uint64_t own = 0, enemy = 0, ownPawns = 0, enemyPawns = 0;
  for (int sq = 0; sq < 128; sq++) {
    if (!onBoard(sq)) continue;
    const PieceRecord *r = b->squareArray[128 + sq];
    if (r == &b->sentinel) continue;
    uint64_t bit = squareBit[sq88To64[sq]];
    bool pawn = r->kind->kind == PAWN;
    if (r->colour == pos->side) {
      own |= bit;
      if (pawn) ownPawns |= bit;
    } else {
      enemy |= bit;
      if (pawn) enemyPawns |= bit;
    }
  }
  if (own != pos->ownBits || enemy != pos->enemyBits || (own | enemy) != pos->allBits) return false;
  if (ownPawns != pos->ownPawnBits || enemyPawns != pos->enemyPawnBits) return false;
  if (pos->opponent != -pos->side || pos->ownPieces != (pos->side > 0 ? &b->white : &b->black)) return false;
  return !withKey || computeKey(pos) == pos->key;
}
