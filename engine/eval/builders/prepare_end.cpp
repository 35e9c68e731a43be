// The endgame builder: endgame values and constants, the rule of the square
// in pawn endings, passed-pawn escort terms, the mobility pass through the
// pawn structure and the screens and pins with pawns taken in.
#include "engine/eval/builders/prepare_end.h"

#include <cstdlib>

#include "engine/eval/builders/prepare_attack.h"
#include "engine/eval/builders/prepare_data.h"
#include "engine/eval/builders/prepare_pawns.h"
#include "engine/eval/builders/prepare_steps.h"
#include "engine/eval/prepare.h"
#include "engine/eval/settings.h"
#include "engine/eval/weights.h"

namespace {


struct EndBuild {
  Board *b;
  PreparedDataFields *d;
  int32_t *flags;
  int sideToMove;
  int S;
  int16_t *t[12];
};

void drawishEndgame(EndBuild &c) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int W = countOf(b, 1, PAWN), B = countOf(b, -1, PAWN);
  int P = pieceBalance(b);
  int T = P + (W - B) * kindOf(b, 1, PAWN)->currentValue;
  int bv = kindOf(b, 1, BISHOP)->currentValue;
  int dd = bv - kindOf(b, 1, KNIGHT)->currentValue;
  int wPieces = pieceCount(b, 1), bPieces = pieceCount(b, -1);
  int32_t &dc = d.drawClass;
  if (W <= 1 && T >= -dd && P <= bv) {
    int x = W == 0 ? T : T - 84 * W;
    if (W == 0) dc = 2;
    c.S -= 2 * x / 3;
    if (W == 1) kindOf(b, 1, PAWN)->currentValue += 2 * x / 3;
  }
  if (B <= 1 && T <= dd && P >= -bv) {
    int y = B == 0 ? T : T + 84 * B;
    if (B == 0) dc = 2;
    c.S += -2 * y / 3;
    if (B == 1) kindOf(b, -1, PAWN)->currentValue += -2 * y / 3;
  }
  if (b->material != 0 && ((B == 1 && T <= 0 && P >= -dd) || (W == 1 && T >= 0 && P <= dd))) dc = 2;
  if (countOf(b, 1, BISHOP) == 1 && countOf(b, -1, BISHOP) == 1 && d.bishopColour[0] != d.bishopColour[1] &&
      countOf(b, 1, KNIGHT) == 0 && P == 0) {
    d.oppositeBishops = 1;
    bool unbalanced = wPieces > 1 && (W > 3 || B > 3 || std::abs(W - B) > 1);
    if (!unbalanced && dc != 2) dc = d.pawnSpan <= (wPieces == 1 ? 6 : 2) ? 2 : 1;
  }
  if (wPieces == 1 && bPieces == 0 && d.bishopColour[0] >= 0 && W >= 1) {
    int colour = d.bishopColour[0];
    if ((pawnsOnFile(b, 1, 0) == W && colour == 0) || (pawnsOnFile(b, 1, 7) == W && colour == 1)) dc = 2;
  }
  if (bPieces == 1 && wPieces == 0 && d.bishopColour[1] >= 0 && B >= 1) {
    int colour = d.bishopColour[1];
    if ((pawnsOnFile(b, -1, 0) == B && colour == 1) || (pawnsOnFile(b, -1, 7) == B && colour == 0)) dc = 2;
  }
  if (b->material != 0) {
    // two separate cases, as the rule gives them
    if (std::abs(P) <= dd && d.pawnSpan <= 3 && std::abs(W - B) <= 1 && dc < 1) dc = 1;
    if (W < 2 && B < 2 && dc < 1) dc = 1;
  }
}

// Passed-pawn terms of one square for one side.
void passedSquare(EndBuild &c, int s, int side) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int f = fileOf(s);
  int r = side > 0 ? rankOf(s) : 7 - rankOf(s);
  int passedRank = pawnRecord(b, side, f)[2];
  if (side > 0 ? rankOf(s) < passedRank : rankOf(s) > passedRank) return;
  int16_t *pawnTable = c.t[side > 0 ? WP : BP];
  int v = passedEndgame[r];
  if (inSet(d.wideAttacks[sideIndex(-side)], s)) v += endPassedProtected;
  if (f >= 2 && f <= 5) v -= endPassedCentral;
  addTo(pawnTable, s, v);
  if (r >= 3) headOf(b, side)->marks[s] |= 8;
  int e = (passedEndgame[r] * 36 + 32) >> 6;
  int16_t *enemyKing = c.t[side > 0 ? BK : WK];
  int16_t *ownKing = c.t[side > 0 ? WK : BK];
  if (codeAt(b, s) == codeOf(side, PAWN)) {
    bool pawnEnding = b->material == 0;
    bool ownMove = c.sideToMove == side;
    for (int t = 0; t < 120; t++) {
      if (!onBoard(t)) continue;
      int ahead = side > 0 ? rankOf(t) - rankOf(s) : rankOf(s) - rankOf(t);
      int fd = fileDistance(t, s);
      if (pawnEnding && (ownMove ? (ahead < 0 && fd > 7 - r) : (ahead <= -2 && fd > 6 - r))) {
        addTo(enemyKing, t, -50);  // outside the square of the pawn
        continue;
      }
      if (r >= 4 && (fd > 7 - r || ahead < -1)) addTo(enemyKing, t, -endKingOutside);
      if (ahead > 0 && fd <= 1) {
        addTo(enemyKing, t, e);
        addTo(ownKing, t, endKingEscort * (pawnEnding ? 2 : 1));
      }
    }
  }
  addPassedBlockTerms(b, c.t, s, side, e);
}

void squarePass(EndBuild &c, int s) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int16_t **t = c.t;
  int r = rankOf(s), f = fileOf(s);
  const uint64_t wAtt = d.pawnAttacks[0], bAtt = d.pawnAttacks[1];

  // kings
  addTo(t[WK], s, endKingCentre * endgameKingWhite(s));
  addTo(t[BK], s, endKingCentre * endgameKingBlack(s));
  if (r == 0) {
    t[BP][s] = (int16_t)(t[BQ][s] + kindOf(b, -1, QUEEN)->currentValue);
  } else if (r == 7) {
    t[WP][s] = (int16_t)(t[WQ][s] + kindOf(b, 1, QUEEN)->currentValue);
  } else {
    // pawn advance
    int k = (b->material == 0 || d.oppositeBishops) ? 5 : 11;
    int adv = activeSettings.evalWeight20 * k / 100;
    if (r >= 2) addTo(t[WP], s, (adv * (r - 1)) >> 2);
    if (r <= 5) addTo(t[BP], s, (adv * (6 - r)) >> 2);
    // pawn contact
    if (!d.drawClass) {
      if (codeAt(b, s + 16) == BLACK_PAWN || inSet(bAtt, s + 16)) addTo(t[WP], s, 1);
      if (codeAt(b, s - 16) == WHITE_PAWN || inSet(wAtt, s - 16)) addTo(t[BP], s, 1);
    }
  }
  addBishopColourTerms(t, d, s);
  // seventh rank
  if (r == 1 && rankOf(b->pieces[32].square) == 0) addTo(t[BR], s, 8);
  if (r == 6 && rankOf(b->pieces[0].square) == 7) addTo(t[WR], s, 8);
  // passed pawns
  passedSquare(c, s, 1);
  passedSquare(c, s, -1);
  int here = codeAt(b, s);
  if (f >= 1 && f <= 6) {
    // pawn duos
    if (here == WHITE_PAWN && r >= 4) {
      addTo(t[WP], s - 1, r >= 5 ? 32 : 16);
      addTo(t[WP], s + 1, r >= 5 ? 32 : 16);
    }
    if (here == BLACK_PAWN && r <= 3) {
      addTo(t[BP], s - 1, r <= 2 ? 32 : 16);
      addTo(t[BP], s + 1, r <= 2 ? 32 : 16);
    }
    // blockade
    if (codeAt(b, s + 16) == BLACK_PAWN && !inSet(d.pawnSpanBits[1], s)) {
      addTo(t[WN], s, 2);
      addTo(t[WB], s, 2);
    }
    if (codeAt(b, s - 16) == WHITE_PAWN && !inSet(d.pawnSpanBits[0], s)) {
      addTo(t[BN], s, 2);
      addTo(t[BB], s, 2);
    }
  }
  // outposts
  if (inSet(wAtt, s) && !inSet(d.pawnSpanBits[1], s)) {
    if (r >= 3) addTo(t[WN], s, 31);
    bool except = (f <= 2 && inSet(d.pawns[0], s - 15)) || (f >= 5 && inSet(d.pawns[0], s - 17));
    if (!except) addTo(t[WB], s, 5);
  }
  if (inSet(bAtt, s) && !inSet(d.pawnSpanBits[0], s)) {
    if (r <= 4) addTo(t[BN], s, 31);
    bool except = (f <= 2 && inSet(d.pawns[1], s + 17)) || (f >= 5 && inSet(d.pawns[1], s + 15));
    if (!except) addTo(t[BB], s, 5);
  }
  // rooks behind passed pawns
  if (d.emptyFiles > 3) {
    const int32_t *w = pawnRecord(b, 1, f);
    if (w[0] < 7 && w[0] >= w[2] && r < w[0]) addTo(t[WR], s, 46);
    const int32_t *k = pawnRecord(b, -1, f);
    if (k[0] > 0 && k[0] <= k[2] && r > k[0]) addTo(t[BR], s, 46);
  }
  // knights on the edge (both terms in the corners)
  int edge = (r == 0 || r == 7 ? 43 : 0) + (f == 0 || f == 7 ? 43 : 0);
  if (edge) {
    addTo(t[WN], s, -edge);
    addTo(t[BN], s, -edge);
  }
  // doubled pawns
  if (pawnsOnFile(b, 1, f) >= 2) addTo(t[WP], s, -12);
  if (pawnsOnFile(b, -1, f) >= 2) addTo(t[BP], s, -12);
  // central knights
  if (d.emptyFiles <= 2 && isCentralKnightSquare(s)) {
    addTo(t[WN], s, 13);
    addTo(t[BN], s, 13);
  }
}

}  // namespace

void prepareSquareTerms(Board *b) {
  const PreparedDataFields &d = b->prepared.data;
  int value[2][128] = {};
  int base = d.emptyFiles > 4 ? 0 : activeSettings.evalWeight21 / 50;
  for (int s = 0; s < 120; s++) {
    if (!onBoard(s)) continue;
    if (s >= 33 && s != 39 && !inSet(d.pawnAttacks[1], s)) value[0][s] = base;
    if (codeAt(b, s) == BLACK_PAWN && !inSet(d.pawnAttacks[1], s)) value[0][s] += endTargetPawn;
    if (s < 87 && s != 80 && !inSet(d.pawnAttacks[0], s)) value[1][s] = base;
    if (codeAt(b, s) == WHITE_PAWN && !inSet(d.pawnAttacks[0], s)) value[1][s] += endTargetPawn;
  }
  bool knights = countOf(b, 1, KNIGHT) + countOf(b, -1, KNIGHT) > 0;
  bool heavy = countOf(b, 1, ROOK) + countOf(b, -1, ROOK) + countOf(b, 1, QUEEN) + countOf(b, -1, QUEEN) > 0;
  // the line passes run when rooks or queens are on the board
  addReachTerms(b, value, value, nullptr, knights, heavy, heavy);
}

void scanSliderLines(Board *b) { lineTerms(b, true); }

int prepareEndgameTables(Board *b, int32_t *flags, int halfMoveClock, int side) {
  PreparedDataFields &d = b->prepared.data;
  EndBuild c{};
  c.b = b;
  c.d = &d;
  c.flags = flags;
  c.sideToMove = side;
  for (int i = 0; i < 12; i++) c.t[i] = b->prepared.square[i];

  // 1. classification
  d.emptyFiles = 0;
  for (int f = 0; f < 8; f++)
    if (pawnsOnFile(b, 1, f) + pawnsOnFile(b, -1, f) == 0) d.emptyFiles++;
  d.drawClass = 0;
  d.oppositeBishops = 0;
  d.anyQueen = countOf(b, 1, QUEEN) + countOf(b, -1, QUEEN) > 0;
  d.passedTable = passedEndgame;
  d.middlegame = d.manyUnits = 0;
  d.whiteShelter = d.blackShelter = NO_SQUARE;
  d.centreMask = 0;
  b->kingActive = 0;
  b->kingZoneTable = nullptr;

  // 2. current values and pawn analysis
  for (int code = 0; code < 13; code++) {
    PieceKind *k = &b->kinds[code];
    if (k->kind < PAWN) continue;
    if (k->kind == KING) k->currentValue = KING_VALUE;
    else k->currentValue = k->endgameValue + (k->kind == PAWN && b->material == 0 ? 47 : 0);
  }
  rememberBishopColours(b);
  analysePawns(b);

  // 3. shrink and file pressure
  int W = countOf(b, 1, PAWN), B = countOf(b, -1, PAWN);
  *flags &= ~0x400;
  if (halfMoveClock >= 1 && W + B > 0) {
    int base = b->material != 0 ? 5 * halfMoveClock : 10 * halfMoveClock;
    b->drawShrink = base * activeSettings.evalWeight19 / 50;
    *flags |= 0x400;
  } else {
    b->drawShrink = 0;
  }
  setFilePressure(b, endPressureBackward, endPressureIsolated, endPressureDoubled, endPressureOpenFile,
                  2 * endPressureOpenFile);

  // 4. drawish classification and the bishop pair
  int P = pieceBalance(b);
  drawishEndgame(c);
  for (int s = 1; s >= -1; s -= 2)
    if (countOf(b, s, BISHOP) == 2) {
      kindOf(b, s, BISHOP)->currentValue += 46;
      c.S -= s * 46;
    }

  // 5. mobility, screens and pins; centre pawn control
  if (b->material != 0) {
    prepareSquareTerms(b);
    scanSliderLines(b);
  }
  if (d.emptyFiles <= 4 && b->material != 0 && !d.oppositeBishops) c.S += centrePawnControl(b, 1);

  // 6. square pass
  for (int s = 0; s < 120; s++)
    if (onBoard(s)) squarePass(c, s);
  addBackwardPawnTerms(b, c.t, d);

  // 7. kings and pawns
  if (W + B > 0 && b->material != 0) kingPawnTerms(b, endPawnKingNear, endPawnKingRank);

  // 8, 9. trapped pieces, tempo
  addTrappedPieceTermsEndgame(b);
  b->tempo = scoreOffset + 1;

  // 10. drawish scaling
  d.openFileRookBonus = d.emptyFiles < 4 ? 9 : 0;
  bool shrink = (*flags & STATUS_SHRINK_IN_SCORE) != 0;
  if (d.drawClass || (shrink && W < 4 && B <= 3)) {
    int clock = halfMoveClock > 100 ? 100 : halfMoveClock;  // keeps k from turning negative
    int k = shrink ? ((100 - clock) * (d.oppositeBishops ? 14 : 38) + 150) / 100 : 64;
    if (d.drawClass && k > 14) k = d.drawClass == 2 ? 14 : (k < 32 ? k : 32);
    c.S = scalePreparation(b, k, c.S);
  } else {
    int nr = 2 * kindOf(b, 1, KNIGHT)->currentValue - kindOf(b, 1, ROOK)->currentValue;
    if (P >= nr && d.emptyFiles < 4) c.S += 7;
    if (P <= -nr && d.emptyFiles < 4) c.S -= 7;
  }

  // 11. final sum
  return finalSum(b, c.S);
}
