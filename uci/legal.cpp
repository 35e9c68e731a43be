#include "uci/legal.h"

#include <cstring>

#include "engine/board/board_copy.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/smp/threads.h"

namespace {

template <typename T>
T *rebase(T *p, const Board *from, Board *to) {
  const char *c = reinterpret_cast<const char *>(p);
  const char *base = reinterpret_cast<const char *>(from);
  if (c < base || c >= base + sizeof(Board)) return p;
  return reinterpret_cast<T *>(reinterpret_cast<char *>(to) + (c - base));
}

// The position's pseudo-legal moves: the tactical stage, then each piece's quiet moves.
int pseudoLegalMoves(Position *work, Move *out, int max) {
  int n = 0;
  resetPicker(work);
  genCaptures(work);
  for (Move *m = work->moveList; m < work->moveCursor && n < max; m++) out[n++] = *m;
  const PieceRecord *end = &work->pg->sentinel;
  for (PieceRecord *p = work->ownPieces->node.next; p != end && n < max; p = p->next) {
    work->moveCursor = work->moveList;
    work->pieceCursor = p;
    genPieceQuietMoves(work);
    for (Move *m = work->moveList; m < work->moveCursor && n < max; m++) out[n++] = *m;
  }
  resetPicker(work);
  return n;
}

bool leavesKingSafe(Position *work, Move move) {
  Position child;
  makeMove(work, move, &child);
  bool safe = !kingAttacked(&child, work->side);
  unmakeMove(&child);
  return safe;
}

void workCopy(Position *work, const Position *pos) {
  copyPosition(work, pos);
  work->parent = nullptr;  // no back-and-forth shortcut in make-move
}

}  // namespace

void copyScratch(Board *dstBoard, Position *dstPos, const Board *srcBoard, const Position *srcPos) {
  copyBoard(dstBoard, srcBoard);
  copyPosition(dstPos, srcPos);
  dstPos->pg = dstBoard;
  dstPos->capturedPiece = rebase(dstPos->capturedPiece, srcBoard, dstBoard);
  dstPos->pieceCursor = rebase(dstPos->pieceCursor, srcBoard, dstBoard);
  dstPos->threatTarget = rebase(dstPos->threatTarget, srcBoard, dstBoard);
  dstPos->ownPieces = rebase(dstPos->ownPieces, srcBoard, dstBoard);
  dstPos->parent = nullptr;
  dstPos->hashEntry = nullptr;
  dstPos->moveCursor = dstPos->quietStart = dstPos->moveList;
}

int legalMoves(const Position *pos, Move *out, int max) {
  Position work;
  workCopy(&work, pos);
  Move all[MAX_LEGAL_MOVES];
  int total = pseudoLegalMoves(&work, all, MAX_LEGAL_MOVES);
  int n = 0;
  for (int i = 0; i < total && n < max; i++)
    if (leavesKingSafe(&work, all[i])) out[n++] = all[i];
  return n;
}

bool isLegalMove(const Position *pos, Move move) {
  if (moveFrom(move) == NO_SQUARE || (moveToByte(move) & 0xFF) == NO_SQUARE) return false;
  Position work;
  workCopy(&work, pos);
  Move all[MAX_LEGAL_MOVES];
  int total = pseudoLegalMoves(&work, all, MAX_LEGAL_MOVES);
  for (int i = 0; i < total; i++)
    if (all[i] == move) return leavesKingSafe(&work, move);
  return false;
}

void playOnScratch(Position *pos, Move move) {
  Position child;
  pos->parent = nullptr;
  makeMove(pos, move, &child);
  Board *board = pos->pg;
  copyPosition(pos, &child);
  pos->pg = board;
  pos->parent = nullptr;
  pos->moveCursor = pos->quietStart = pos->moveList;
}

char pieceLetterAt(const Position *pos, int square) {
  if (!onBoard(square)) return 0;
  const PieceRecord *p = pos->pg->at(square);
  if (p->colour == 0) return 0;
  return (char)p->desc.letter;
}
