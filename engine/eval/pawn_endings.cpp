// Single-pawn endings the pawn's side cannot win because the defending king
// holds the pawn: the king right in front of it in a pure pawn ending, a rook
// pawn with the defending king in the corner zone, and a rook pawn whose
// bishop does not control the promotion corner. Such a position gets the
// side's cannot-win bit, which caps its score at 0 in the searches.
#include "engine/eval/pawn_endings.h"

#include <initializer_list>

#include "engine/board/moves/attacks.h"
#include "engine/eval/settings.h"

namespace {

// The single pawn of a side and, in the bishop case, its bishop.
const PieceRecord *findPiece(const Board *b, const PieceListHead *head, int kind) {
  for (const PieceRecord *p = head->node.next; p != &b->sentinel; p = p->next)
    if (p->desc.kind == kind && onBoard(p->square)) return p;
  return nullptr;
}

// The pattern for the side `s` (+1 White, -1 Black) with exactly one pawn.
bool holdsPawn(const Board *b, int s) {
  const PieceListHead *own = b->listHeads[s + 1];
  const PieceRecord *pawn = findPiece(b, own, PAWN);
  if (!pawn) return false;
  const int P = pawn->square;
  const int enemyPawn = s > 0 ? BLACK_PAWN : WHITE_PAWN;
  // an enemy pawn attacking the pawn stops every case
  for (int d : {15, 17}) {
    int sq = P + s * d;
    if (onBoard(sq) && pieceOn(b, sq)->colour == -s && pieceOn(b, sq)->desc.code == enemyPawn) return false;
  }
  const int K = kingSquare(b, s), D = kingSquare(b, -s);
  const int ahead = s > 0 ? D - P : P - D;  // positive ahead of the pawn
  const int lastRank = s > 0 ? 7 : 0;
  const bool pure = b->material == 0;
  const bool enemyHasPawns = b->kinds[enemyPawn].count > 0;

  bool candidate = false;
  if (pure) {
    if (ahead == 16 && rankOf(D) != lastRank) candidate = true;
    if (ahead == 32 && rankOf(D) != lastRank && !enemyHasPawns) candidate = true;
  } else {
    const PieceRecord *bishop = findPiece(b, own, BISHOP);
    if (!bishop || !cannotWinRule()) return false;
    int parity = (fileOf(P) + rankOf(bishop->square) + fileOf(bishop->square)) & 1;
    if (parity != (s > 0 ? 0 : 1)) return false;
    bool kingBehind = s > 0 ? rankOf(K) < rankOf(D) : rankOf(K) > rankOf(D);
    if (!(rankOf(D) == lastRank || kingBehind)) return false;
  }
  if (!candidate && ahead >= 14) {
    const bool kingBeyond = s > 0 ? K > P : K < P;
    if (fileOf(P) == 0) {
      if (fileOf(D) <= 1) candidate = true;
      else if (pure && fileOf(D) == 2 && fileOf(K) == 0 && kingBeyond) candidate = true;
    } else if (fileOf(P) == 7) {
      if (fileOf(D) >= 6) candidate = true;
      else if (pure && fileOf(D) == 5 && fileOf(K) == 7 && kingBeyond) candidate = true;
    }
  }
  return candidate;
}

// The final test: the king of the side that has just moved must not stand
// attacked by the side to move (a position that is not legal is never marked).
bool finalTest(const Position *pos) {
  const Board *b = pos->pg;
  int T = kingSquare(b, pos->opponent);
  return !listAttacks(b, pos->ownPieces, T, pos->allBits);
}

}  // namespace

void kingPawnTerm(Position *pos) {
  const Board *b = pos->pg;
  if (b->kinds[WHITE_PAWN].count == 1 && holdsPawn(b, +1) && finalTest(pos)) pos->statusFlags |= WHITE_CANNOT_WIN;
  if (b->kinds[BLACK_PAWN].count == 1 && holdsPawn(b, -1) && finalTest(pos)) pos->statusFlags |= BLACK_CANNOT_WIN;
}
