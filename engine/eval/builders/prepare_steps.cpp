// The steps both preparation builders share: balances, file pressure,
// bishop colours, scaling, the final sum, trapped pieces and the pawn terms
// both give a square alike.
#include "engine/eval/builders/prepare_steps.h"

#include "engine/eval/builders/prepare_data.h"

int pieceBalance(Board *b) {
  int p = 0;
  for (int kind = KNIGHT; kind <= QUEEN; kind++)
    p += (countOf(b, 1, kind) - countOf(b, -1, kind)) * kindOf(b, 1, kind)->currentValue;
  return p;
}

void setFilePressure(Board *b, int backward, int isolated, int doubled, int openFile, int openDoubled) {
  PreparedDataFields &d = b->prepared.data;
  for (int side = 1; side >= -1; side -= 2) {
    int si = sideIndex(side);
    bool rook = countOf(b, side, ROOK) > 0;
    for (int f = 0; f < 8; f++) {
      bool open = rook && pawnsOnFile(b, side, f) == 0;
      d.backwardPressure[si][f] = (int16_t)(backward + (open ? openFile : 0));
      d.isolatedPressure[si][f] = (int16_t)(isolated + (open ? openFile : 0));
      d.doubledIsolatedPressure[si][f] = (int16_t)(doubled + (open ? openDoubled : 0));
    }
  }
}

void rememberBishopColours(Board *b) {
  for (int side = 1; side >= -1; side -= 2) {
    int colour = -1;
    if (countOf(b, side, BISHOP) == 1) {
      for (PieceRecord *r = headOf(b, side)->node.next; r != b->end(); r = r->next)
        if (onBoard(r->square) && r->kind->kind == BISHOP) colour = (fileOf(r->square) + rankOf(r->square)) & 1;
    }
    b->prepared.data.bishopColour[sideIndex(side)] = colour;
  }
}

int scalePreparation(Board *b, int k, int score) {
  auto scale = [k](int v) { return (k * v + 32) >> 6; };
  PreparedDataFields &d = b->prepared.data;
  for (int i = 0; i < 2; i++)
    for (int f = 0; f < 8; f++) {
      d.backwardPressure[i][f] = (int16_t)scale(d.backwardPressure[i][f]);
      d.isolatedPressure[i][f] = (int16_t)scale(d.isolatedPressure[i][f]);
      d.doubledIsolatedPressure[i][f] = (int16_t)scale(d.doubledIsolatedPressure[i][f]);
    }
  for (int c = 0; c < 13; c++)
    if (b->kinds[c].kind != KING) b->kinds[c].currentValue = scale(b->kinds[c].currentValue);
  for (int t = 0; t < 12; t++)
    for (int sq = 0; sq < 120; sq++)
      if (onBoard(sq)) b->prepared.square[t][sq] = (int16_t)scale(b->prepared.square[t][sq]);
  return scale(score);
}

int finalSum(Board *b, int score) {
  const PreparedDataFields &d = b->prepared.data;
  for (int side = 1; side >= -1; side -= 2) {
    int other = sideIndex(-side);
    for (PieceRecord *r = headOf(b, side)->node.next; r != b->end(); r = r->next) {
      int sq = r->square;
      if (!onBoard(sq)) continue;
      PieceKind *k = r->kind;
      int f = fileOf(sq);
      int v = k->squareTable[sq] + k->currentValue;
      if (k->kind == ROOK && pawnsOnFile(b, 1, f) + pawnsOnFile(b, -1, f) == 0) v += d.openFileRookBonus;
      if (k->kind == PAWN && pawnsOnFile(b, side, f - 1) == 0 && pawnsOnFile(b, side, f + 1) == 0)
        v -= pawnsOnFile(b, side, f) == 1 ? d.isolatedPressure[other][f] : d.doubledIsolatedPressure[other][f] / 2;
      r->value = v;
      score += side * v;
    }
  }
  return score;
}

void trappedPieceTerms(Board *b, int penalty) {
  for (const TrappedPattern &p : trappedPatterns) {
    if (codeAt(b, p.square) != p.pieceCode) continue;
    bool holds = true;
    for (int i = 0; i < 2; i++)
      if (p.pawnSquare[i] != NO_SQUARE && codeAt(b, p.pawnSquare[i]) != p.pawnCode) holds = false;
    if (holds) addTo(b->kinds[p.pieceCode].squareTable, p.square, -penalty);
  }
}

void addTrappedPieceTerms(Board *b) { trappedPieceTerms(b, 130); }
void addTrappedPieceTermsEndgame(Board *b) { trappedPieceTerms(b, 360); }

void addPassedBlockTerms(Board *b, int16_t **t, int s, int side, int e) {
  int up = 16 * side;
  if (codeAt(b, s) == codeOf(side, PAWN)) {
    if (onBoard(s + up)) {
      addTo(t[side > 0 ? BN : WN], s + up, e);
      addTo(t[side > 0 ? BB : WB], s + up, e);
    }
  } else {
    int front = codeAt(b, s + up);
    if (front == codeOf(-side, BISHOP) || front == codeOf(-side, KNIGHT) || front == codeOf(-side, PAWN))
      addTo(t[side > 0 ? WP : BP], s, -e);
  }
}

void addBackwardPawnTerms(Board *b, int16_t **t, const PreparedDataFields &d) {
  for (int side = 1; side >= -1; side -= 2) {
    uint64_t files = 0;  // the files with pawns of this side
    for (int f = 0; f < 8; f++)
      if (pawnsOnFile(b, side, f)) files |= FILE_A << f;
    uint64_t beside = ((files & ~FILE_A) >> 1) | ((files & ~FILE_H) << 1);
    int16_t *pawnTable = t[side > 0 ? WP : BP];
    const int16_t *pressure = d.backwardPressure[sideIndex(-side)];
    forEachSquare(beside & ~d.wideAttacks[sideIndex(-side)], [&](int s) { addTo(pawnTable, s, -pressure[fileOf(s)]); });
  }
}
