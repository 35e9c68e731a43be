#include "uci/legal.h"

#include "engine/board/board_copy.h"
#include "engine/board/moves/makemove.h"

void copyScratch(Board *dstBoard, Position *dstPos, const Board *srcBoard, const Position *srcPos) {
  copyBoard(dstBoard, srcBoard);
  copyPosition(dstPos, srcPos);
  rebasePosition(dstPos, srcBoard, dstBoard);
  dstPos->parent = nullptr;
  dstPos->hashEntry = nullptr;
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
