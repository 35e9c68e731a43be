// The middlegame builder: classification, current values, pawn analysis,
// the square terms of pawns, pieces and kings, drawish classification and
// scaling, and the final sum from white's point of view.
#include "engine/eval/builders/prepare_middle.h"

#include <algorithm>
#include <cstdlib>

#include "engine/eval/builders/prepare_attack.h"
#include "engine/eval/builders/prepare_data.h"
#include "engine/eval/builders/prepare_pawns.h"
#include "engine/eval/builders/prepare_steps.h"
#include "engine/eval/prepare.h"
#include "engine/eval/settings.h"
#include "engine/eval/weights.h"

namespace {

constexpr int E1 = 0x04, E5 = 0x44, E8 = 0x74;

// The pawn steps in front of a castled king's shelter, by shelter: the a- and
// b-file squares of the third rank and the a-file square of the fourth (long
// side), the g- and h-file ones and the h-file square (short side).
constexpr uint64_t WHITE_LONG_SHELTER_STEPS = squareSet88({0x20, 0x21, 0x30});
constexpr uint64_t WHITE_SHORT_SHELTER_STEPS = squareSet88({0x26, 0x27, 0x37});
constexpr uint64_t BLACK_LONG_SHELTER_STEPS = squareSet88({0x50, 0x51, 0x40});
constexpr uint64_t BLACK_SHORT_SHELTER_STEPS = squareSet88({0x56, 0x57, 0x47});

// Working values of one middlegame preparation.
struct Build {
  Board *b;
  PreparedDataFields *d;
  int32_t *flags;
  int halfMoves;
  int S;
  bool queensRich;
  int centreFactor, whiteRef, blackRef;
  int whiteHRook, whiteARook, blackHRook, blackARook;
  bool whiteRook, blackRook;
  int pawnAdvance;  // the pawn-advance weight per rank, in quarters
  uint64_t whiteShelterSteps, blackShelterSteps;  // pawn steps in front of a castled king
  int16_t *t[12];
};

int shelterOf(int kingSq, bool castleShort, int side) {
  if (castleShort) return side > 0 ? 0x06 : 0x76;
  int base = side > 0 ? 0 : 0x70, inward = side > 0 ? 0x10 : -0x10;
  int f = fileOf(kingSq), r = kingSq - f;
  if (r == base || r == base + inward) {
    if (f == 5 || f == 7 || (r != base && f == 6)) return base + 6;
    if (f == 0 || f == 2 || (r != base && f == 1)) return base + 1;
  }
  return kingSq;
}

void drawishClassification(Build &c) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int W = countOf(b, 1, PAWN), B = countOf(b, -1, PAWN);
  int P = pieceBalance(b);
  int T = P + (W - B) * kindOf(b, 1, PAWN)->currentValue;
  int bv = kindOf(b, 1, BISHOP)->currentValue;
  int dd = bv - kindOf(b, 1, KNIGHT)->currentValue;
  int32_t &dc = d.drawClass;
  int wPieces = pieceCount(b, 1), bPieces = pieceCount(b, -1);
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
    if (B == 1 && T <= 0 && P >= -dd) dc = 2;
  }
  if (W == 1 && T >= 0 && P <= dd) dc = 2;
  if (countOf(b, 1, BISHOP) == 1 && countOf(b, -1, BISHOP) == 1 && d.bishopColour[0] != d.bishopColour[1] &&
      countOf(b, 1, KNIGHT) == 0 && P == 0) {
    d.oppositeBishops = 1;
    if (dc != 2) {
      if (wPieces == 1) dc = d.pawnSpan <= 5 ? 2 : 1;
      else if (W < 5 && B < 5 && std::abs(W - B) <= 1) dc = d.pawnSpan <= 2 ? 2 : 1;
    }
  }
  if (wPieces == 1 && countOf(b, 1, BISHOP) == 1 && bPieces == 0 && W >= 1) {
    int colour = d.bishopColour[0];
    if ((pawnsOnFile(b, 1, 0) == W && colour == 0) || (pawnsOnFile(b, 1, 7) == W && colour == 1)) dc = 2;
  }
  if (bPieces == 1 && countOf(b, -1, BISHOP) == 1 && wPieces == 0 && B >= 1) {
    int colour = d.bishopColour[1];
    if ((pawnsOnFile(b, -1, 0) == B && colour == 1) || (pawnsOnFile(b, -1, 7) == B && colour == 0)) dc = 2;
  }
  if (wPieces == 1 && bPieces == 1) {
    if (countOf(b, 1, QUEEN) == 1 && countOf(b, -1, ROOK) == 1 && W == 0 && B >= 1) dc = 2;
    if (countOf(b, -1, QUEEN) == 1 && countOf(b, 1, ROOK) == 1 && B == 0 && W >= 1) dc = 2;
  }
  if (std::abs(P) <= dd && d.pawnSpan < 5 && std::abs(W - B) <= 1 && dc < 1) dc = 1;
  int nr = 2 * kindOf(b, 1, KNIGHT)->currentValue - kindOf(b, 1, ROOK)->currentValue;
  if (W <= (P > nr ? 1 : 2) && B <= (P < -nr ? 1 : 2) && dc < 1) dc = 1;
}

// King zone of one side's shelter z at square s: pawn storms and shield holes
// in the pawn tables, and the other side's pieces drawn to the zone. Every
// target square is checked against the board before it is written.
void kingZoneSquare(Build &c, int s, int side, int z) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  if (centreCloseness(side > 0 ? z - s : s - z) < 2) return;
  int kd = kingDistance(s, z);
  int16_t *stormTable = c.t[side > 0 ? BP : WP];
  int16_t *shieldTable = c.t[side > 0 ? WP : BP];
  int ownPawn = side > 0 ? WHITE_PAWN : BLACK_PAWN;
  int enemyPawn = side > 0 ? BLACK_PAWN : WHITE_PAWN;
  uint64_t enemyAttacks = d.pawnAttacks[sideIndex(-side)];
  int up = 16 * side;
  auto write = [](int16_t *t, int sq, int v) {
    if (onBoard(sq)) addTo(t, sq, v);
  };
  if (!b->kingActive && kd <= 2) {
    bool notBehind = side > 0 ? rankOf(s) >= rankOf(z) : rankOf(s) <= rankOf(z);
    if (notBehind) {
      auto u = [&](int probe) {
        if (codeAt(b, probe) != ownPawn) return 10;
        if (kd == 2) return 0;
        return (!d.anyQueen || b->material < richMaterial || d.manyUnits) ? 27 : 55;
      };
      if (fileOf(s) != 0) write(stormTable, s + up - 1, u(s - 1));
      bool leftOfShelter = ((fileOf(z) - fileOf(s)) & 7) == 1 && fileOf(s) != 6;
      if (codeAt(b, s + up - 1) != enemyPawn && fileOf(s) != 7 && !leftOfShelter)
        write(stormTable, s + up + 1, u(s + 1));
    }
    bool shieldRank = side > 0 ? rankOf(s) >= 1 : rankOf(s) <= 6;
    if (shieldRank) {
      if (kd == 2 && !inSet(enemyAttacks, s)) write(shieldTable, s, kingShieldHole);
      if (s != (side > 0 ? 0x10 : 0x60) && !inSet(enemyAttacks, s - up - 1))
        write(shieldTable, s - up - 1, kingShieldHole);
      if (!inSet(enemyAttacks, s - up + 1)) write(shieldTable, s - up + 1, kingShieldHole);
    }
  }
  int fd = (fileOf(z) - fileOf(s)) & 7;
  if (fd <= 2 || fd >= 6) {
    int o = side > 0 ? BK : WK;  // the other side's tables
    for (int k = 1; k <= 4; k++) addTo(c.t[o + k], s, kingZonePiece);
  }
}

// The king zone of one side (queens on the board only). It only adds to the
// tables, so it runs apart from the other square terms. It touches only the
// files at most two files from the shelter's, counted round the board as
// kingZoneSquare counts them (file distance & 7).
void kingZone(Build &c, int side) {
  const PreparedDataFields &d = *c.d;
  int z = side > 0 ? d.whiteShelter : d.blackShelter;
  if (z == NO_SQUARE || !d.anyQueen) return;
  constexpr int ZONE_FILES = 2;
  for (int k = -ZONE_FILES; k <= ZONE_FILES; k++) {
    int f = (fileOf(z) + k) & 7;
    for (int r = 0; r < 8; r++) kingZoneSquare(c, 16 * r + f, side, z);
  }
}

// What a passed segment's file gives each of its squares: the central files'
// deduction, and whether enemy pawns stand on the file or (on an edge file)
// beside it, which costs with queens and rich material.
struct PassedFile {
  int central;
  bool opposed;
};

// The terms of a square s on the passed segment of its file for side.
void passedSquare(Build &c, int s, int side, PassedFile pf) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int r = side > 0 ? rankOf(s) : 7 - rankOf(s);
  int16_t *pawnTable = c.t[side > 0 ? WP : BP];
  const int32_t *pt = d.passedTable;
  int v = pt[r] - pf.central;
  if (inSet(d.wideAttacks[sideIndex(-side)], s)) v += passedProtected;
  if (pf.opposed) v -= (pt[r] * 15 + 32) >> 6;
  addTo(pawnTable, s, v);
  if (r >= 3) headOf(b, side)->marks[s] |= 8;
  int e = (pt[r] * 25 + 32) >> 6;
  int16_t *enemyKing = c.t[side > 0 ? BK : WK];
  int16_t *ownKing = c.t[side > 0 ? WK : BK];
  if (codeAt(b, s) == codeOf(side, PAWN)) {
    bool noQueenOrPoor = !d.anyQueen || b->material < richMaterial;
    for (int t = 0; t < 120; t++) {
      if (!onBoard(t)) continue;
      int ahead = side > 0 ? rankOf(t) - rankOf(s) : rankOf(s) - rankOf(t);
      if (r >= 4 && (fileDistance(t, s) > 7 - r || ahead < -1))
        addTo(enemyKing, t, -(c.queensRich ? passedKingFar / 2 : passedKingFar));
      if (ahead > 0 && fileDistance(t, s) <= 1) {
        addTo(enemyKing, t, e);
        if (noQueenOrPoor) addTo(ownKing, t, passedKingNear);
      }
    }
  }
  addPassedBlockTerms(b, c.t, s, side, e);
}

// The passed segments of one side: on each file, the squares from the file's
// passed rank onwards to the far side. Their terms only add to the tables (and
// mark squares), so they run apart from the other square terms.
void passedSquares(Build &c, int side) {
  for (int f = 0; f < 8; f++) {
    int passedRank = pawnRecord(c.b, side, f)[2];
    int first = side > 0 ? std::max(passedRank, 0) : 0;
    int last = side > 0 ? 7 : std::min(passedRank, 7);
    if (first > last) continue;
    PassedFile pf{(f >= 2 && f <= 5) ? 2 * passedCentral : 0, false};
    if (c.queensRich) {
      int probe = f == 0 ? 1 : f == 7 ? 6 : f;
      pf.opposed = pawnsOnFile(c.b, -side, f) > 0 || (probe != f && pawnsOnFile(c.b, -side, probe) > 0);
    }
    for (int r = first; r <= last; r++) passedSquare(c, 16 * r + f, side, pf);
  }
}

// The terms every square gets, in board order: the first and last ranks
// set the promotion entries outright, which the later adds build on.
void squarePass(Build &c, int s) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int16_t **t = c.t;
  int r = rankOf(s), f = fileOf(s);
  int32_t flags = *c.flags;

  // king centrality
  addTo(t[WK], s, c.centreFactor * centreCloseness(s - c.whiteRef));
  addTo(t[BK], s, c.centreFactor * centreCloseness(s - c.blackRef));
  // first and last ranks: boxed rooks and the promotion values
  if (r == 0) {
    if (c.whiteRook && ((s >= E1 && s < c.whiteHRook) || (s > c.whiteARook && s <= E1))) {
      addTo(t[WN], s, -12);
      addTo(t[WB], s, -12);
      if (!(flags & (2 | 8))) addTo(t[WK], s, -70);
    }
    t[BP][s] = (int16_t)(t[BQ][s] + kindOf(b, -1, QUEEN)->currentValue);
  } else if (r == 7) {
    if (c.blackRook && ((s >= E8 && s < c.blackHRook) || (s > c.blackARook && s <= E8))) {
      addTo(t[BN], s, -12);
      addTo(t[BB], s, -12);
      if (!(flags & (4 | 16))) addTo(t[BK], s, -70);
    }
    t[WP][s] = (int16_t)(t[WQ][s] + kindOf(b, 1, QUEEN)->currentValue);
  } else {
    // pawn advance
    int adv = c.pawnAdvance;
    if (r >= 2) addTo(t[WP], s, (adv * (r - 1)) >> 2);
    if (r <= 5) addTo(t[BP], s, (adv * (6 - r)) >> 2);
  }
  addBishopColourTerms(t, d, s);
  // rooks behind the pawns
  if (b->material < twoRooksTwoBishops) {
    const int32_t *w = pawnRecord(b, 1, f);
    if (w[0] < 7 && w[0] >= w[2] && r < w[0]) addTo(t[WR], s, 2);
    const int32_t *k = pawnRecord(b, -1, f);
    if (k[0] > 0 && k[0] <= k[2] && r > k[0]) addTo(t[BR], s, 2);
  }
  // doubled pawns
  if (!d.middlegame) {
    if (pawnsOnFile(b, 1, f) >= 2) addTo(t[WP], s, -7);
    if (pawnsOnFile(b, -1, f) >= 2) addTo(t[BP], s, -7);
  }
}

// The terms only some squares get, each over its own square set. They only
// add, and none touches a promotion entry of the square pass, so they follow it.
void sparseSquareTerms(Build &c) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int16_t **t = c.t;
  int32_t flags = *c.flags;
  const uint64_t wAtt = d.pawnAttacks[0], bAtt = d.pawnAttacks[1];
  const uint64_t wp = d.allPawns[0], bp = d.allPawns[1];

  // pawn support: the square behind one the own pawns attack
  forEachSquare(wAtt & rankSpan(1, 3), [&](int s) { addTo(t[WP], s - 16, -3); });
  forEachSquare(bAtt & rankSpan(4, 6), [&](int s) { addTo(t[BP], s + 16, -3); });
  // pawn contact: the square in front holds or is attacked by an enemy pawn
  if (!d.drawClass) {
    forEachSquare(((bp | bAtt) >> 8) & rankSpan(1, 6), [&](int s) { addTo(t[WP], s, 3); });
    forEachSquare(((wp | wAtt) << 8) & rankSpan(1, 6), [&](int s) { addTo(t[BP], s, 3); });
  }
  // pawn shelter steps
  if (!(flags & (2 | 8))) forEachSquare(c.whiteShelterSteps & wAtt & ~bAtt, [&](int s) { addTo(t[WP], s, 5); });
  if (!(flags & (4 | 16))) forEachSquare(c.blackShelterSteps & bAtt & ~wAtt, [&](int s) { addTo(t[BP], s, 5); });
  // seventh rank, while the enemy king stands on its first rank
  if (rankOf(b->pieces[32].square) == 0) forEachSquare(rankSpan(1, 1), [&](int s) { addTo(t[BR], s, 24); });
  if (rankOf(b->pieces[0].square) == 7) forEachSquare(rankSpan(6, 6), [&](int s) { addTo(t[WR], s, 24); });
  // pawn duos: the neighbours of an advanced pawn off the edge files
  forEachSquare(wp & rankSpan(4, 7) & FILES_B_TO_G, [&](int s) {
    int f = fileOf(s);
    int v = (rankOf(s) >= 5 || (c.queensRich && (f == 3 || f == 4))) ? 32 : 16;
    addTo(t[WP], s - 1, v);
    addTo(t[WP], s + 1, v);
  });
  forEachSquare(bp & rankSpan(0, 3) & FILES_B_TO_G, [&](int s) {
    int f = fileOf(s);
    int v = (rankOf(s) <= 2 || (c.queensRich && (f == 3 || f == 4))) ? 32 : 16;
    addTo(t[BP], s - 1, v);
    addTo(t[BP], s + 1, v);
  });
  // blockade: minors in front of an enemy pawn that no enemy pawn can reach
  forEachSquare((bp >> 8) & ~d.pawnSpanBits[1] & FILES_B_TO_G, [&](int s) {
    addTo(t[WN], s, 19);
    addTo(t[WB], s, 19);
  });
  forEachSquare((wp << 8) & ~d.pawnSpanBits[0] & FILES_B_TO_G, [&](int s) {
    addTo(t[BN], s, 19);
    addTo(t[BB], s, 19);
  });
  // outposts: covered by an own pawn, out of the enemy pawns' reach
  int bishopOutpost = 13 + (d.manyUnits ? 0 : 14);
  forEachSquare(wAtt & ~d.pawnSpanBits[1], [&](int s) {
    int f = fileOf(s);
    if (rankOf(s) >= 3) addTo(t[WN], s, 13);
    bool except = (f <= 2 && inSet(d.pawns[0], s - 15)) || (f >= 5 && inSet(d.pawns[0], s - 17));
    if (!except) addTo(t[WB], s, bishopOutpost);
  });
  forEachSquare(bAtt & ~d.pawnSpanBits[0], [&](int s) {
    int f = fileOf(s);
    if (rankOf(s) <= 4) addTo(t[BN], s, 13);
    bool except = (f <= 2 && inSet(d.pawns[1], s + 17)) || (f >= 5 && inSet(d.pawns[1], s + 15));
    if (!except) addTo(t[BB], s, bishopOutpost);
  });
  // knights on the rim
  int rim = (flags & 30) ? 8 : 17;
  forEachSquare(FILE_A | FILE_H | rankSpan(0, 0) | rankSpan(7, 7), [&](int s) {
    addTo(t[WN], s, -rim);
    addTo(t[BN], s, -rim);
  });
  // central knights
  if (d.emptyFiles < 3)
    forEachSquare(CENTRAL_KNIGHT_SQUARES, [&](int s) {
      addTo(t[WN], s, 17);
      addTo(t[BN], s, 17);
    });
  // centre pawns
  forEachSquare(d.centreMask, [&](int s) {
    for (int from : {s - 15, s - 17}) {
      int v = (d.emptyFiles == 0 && codeAt(b, from) == WHITE_PAWN) ? ((flags & (2 | 8)) ? 31 : 18) : 5;
      if (onBoard(from)) addTo(t[WP], from, v);
    }
    for (int from : {s + 15, s + 17}) {
      int v = (d.emptyFiles == 0 && codeAt(b, from) == BLACK_PAWN) ? ((flags & (4 | 16)) ? 31 : 18) : 5;
      if (onBoard(from)) addTo(t[BP], from, v);
    }
  });
}

void shelterFiles(Build &c) {
  Board *b = c.b;
  PreparedDataFields &d = *c.d;
  int wf = fileOf(d.whiteShelter), bf = fileOf(d.blackShelter);
  for (int F = wf - 1; F <= wf + 1; F++) {
    if (F < 0 || F > 7) continue;
    int wAdv = pawnRecord(b, 1, F)[1];
    for (int k = 1; k <= 6; k++)
      if (wAdv < k + 1) addTo(c.t[WP], k * 16 + F, shelterFileBonus);
    int bAdv = pawnRecord(b, -1, F)[1];
    if (d.emptyFiles == 0)
      for (int k = 5; k >= 1; k--)
        if (bAdv >= k) addTo(c.t[BP], k * 16 + F, -kingFilePenalty);
  }
  for (int F = bf - 1; F <= bf + 1; F++) {
    if (F < 0 || F > 7) continue;
    int bAdv = pawnRecord(b, -1, F)[1];
    for (int k = 6; k >= 1; k--)
      if (bAdv >= k) addTo(c.t[BP], k * 16 + F, shelterFileBonus);
    int wAdv = pawnRecord(b, 1, F)[1];
    if (d.emptyFiles == 0)
      for (int k = 2; k <= 6; k++)
        if (wAdv < k + 1) addTo(c.t[WP], k * 16 + F, -kingFilePenalty);
  }
}

}  // namespace

void findBoxedRook(Board *b, int start, int end, int side, int *endOut, int *rookOut) {
  int step = end > start ? 1 : -1;
  int rook = end;
  for (int sq = start; sq != end; sq += step) {
    PieceRecord *r = b->at(sq);
    if (r->colour != side || r->kind->kind != ROOK) continue;
    if (pawnsOnFile(b, side, fileOf(sq)) == 0) {
      rook = end;
      break;
    }
    rook = sq;
  }
  *endOut = end;
  *rookOut = rook;
}

int prepareTables(Board *b, int32_t *flags, int halfMoveClock, int side) {
  (void)side;
  PreparedDataFields &d = b->prepared.data;
  Build c{};
  c.b = b;
  c.d = &d;
  c.flags = flags;
  c.halfMoves = halfMoveClock;
  for (int i = 0; i < 12; i++) c.t[i] = b->prepared.square[i];

  // 1. classification
  d.emptyFiles = 0;
  for (int f = 0; f < 8; f++)
    if (pawnsOnFile(b, 1, f) + pawnsOnFile(b, -1, f) == 0) d.emptyFiles++;
  int wQ = countOf(b, 1, QUEEN), bQ = countOf(b, -1, QUEEN);
  int wPieces = pieceCount(b, 1), bPieces = pieceCount(b, -1);
  int W = countOf(b, 1, PAWN), B = countOf(b, -1, PAWN);
  d.anyQueen = wQ + bQ > 0;
  d.middlegame = d.anyQueen && countOf(b, 1, ROOK) + countOf(b, -1, ROOK) >= 2 && wPieces >= 2 && bPieces >= 2;
  d.manyUnits = W + wPieces >= 11 && B + bPieces >= 11;
  b->kingActive = 0;
  d.oppositeBishops = 0;
  d.drawClass = 0;
  d.whiteShelter = d.blackShelter = NO_SQUARE;
  c.queensRich = d.anyQueen && b->material >= richMaterial;

  // 2. current values
  for (int code = 0; code < 13; code++) {
    PieceKind *k = &b->kinds[code];
    if (k->kind < PAWN) continue;
    if (d.middlegame || k->kind == KING) {
      k->currentValue = k->middlegameValue;
      continue;
    }
    k->currentValue = k->endgameValue;
    if (k->kind == KNIGHT && countOf(b, k->side, QUEEN) > 0) k->currentValue += 4;
    if (k->kind == BISHOP && countOf(b, k->side, ROOK) > 0) k->currentValue += 4;
  }
  d.passedTable = (d.middlegame || d.anyQueen) ? passedWithQueen : passedNoQueen;
  rememberBishopColours(b);

  // 3, 4. pawn analysis
  d.centreMask = c.queensRich ? bit88(0x33) | bit88(0x34) | bit88(0x43) | bit88(0x44) : 0;
  analysePawnStructure(b, 49);

  // 5. king centrality
  c.centreFactor = d.middlegame ? -kingCentreMiddle : kingCentreEnd;
  c.whiteRef = c.blackRef = E5;
  if (!d.middlegame && b->material < richMaterial && (wQ == 0 || wPieces == 1) && (bQ == 0 || bPieces == 1)) {
    c.centreFactor = d.anyQueen ? kingCentreThin / 2 : kingCentreThin;
    b->kingActive = 1;
    c.whiteRef = 0x54;
    c.blackRef = 0x34;
  }

  // 6. shrink, file pressure, drawish classification, bishop pair, shelters
  *flags &= ~0x400;
  if (halfMoveClock >= 1 && W + B > 0 && !(d.middlegame && c.queensRich)) {
    b->drawShrink = 8 * halfMoveClock * activeSettings.evalWeight19 / 100;
    *flags |= 0x400;
  } else {
    b->drawShrink = 0;
  }
  int open = pressureOpenFile * (b->kingActive ? 2 : 1);
  setFilePressure(b, pressureBaseBackward, pressureBaseIsolated, pressureBaseDoubled, open, 2 * open);
  int P = pieceBalance(b);  // before the bishop pair, as the drawish rules see it
  if (!d.anyQueen || b->material < richMaterial) drawishClassification(c);
  if (!drawishClassesOn()) d.drawClass = 0;
  int pair = (d.middlegame && c.queensRich) ? 23 : 41;
  for (int s = 1; s >= -1; s -= 2)
    if (countOf(b, s, BISHOP) == 2) {
      kindOf(b, s, BISHOP)->currentValue += pair;
      c.S -= s * pair;
    }
  if (b->material > rookBishopQueen) {
    d.whiteShelter = shelterOf(b->pieces[32].square, (*flags & 2) != 0, 1);
    d.blackShelter = shelterOf(b->pieces[0].square, (*flags & 4) != 0, -1);
  }
  b->kingZoneTable = d.whiteShelter != NO_SQUARE ? kingZoneGroups : nullptr;

  // 7. attack terms, screens and pins
  prepareAttackTerms(b);
  lineTerms(b, false);

  // 8. square terms
  if (d.emptyFiles < 3 && !d.oppositeBishops) c.S += centrePawnControl(b, 3);
  c.whiteRook = countOf(b, 1, ROOK) > 0;
  c.blackRook = countOf(b, -1, ROOK) > 0;
  int endSq;
  c.whiteHRook = c.whiteARook = E1;
  c.blackHRook = c.blackARook = E8;
  if (c.whiteRook) {
    findBoxedRook(b, 0x07, E1, 1, &endSq, &c.whiteHRook);
    findBoxedRook(b, 0x00, E1, 1, &endSq, &c.whiteARook);
  }
  if (c.blackRook) {
    findBoxedRook(b, 0x77, E8, -1, &endSq, &c.blackHRook);
    findBoxedRook(b, 0x70, E8, -1, &endSq, &c.blackARook);
  }
  int advance = b->kingActive ? (d.oppositeBishops ? 9 : 18) : 8;
  c.pawnAdvance = advance * activeSettings.evalWeight20 / 100;
  c.whiteShelterSteps = c.blackShelterSteps = 0;
  if (c.queensRich) {
    if (d.whiteShelter == 0x01) c.whiteShelterSteps = WHITE_LONG_SHELTER_STEPS;
    if (d.whiteShelter == 0x06) c.whiteShelterSteps = WHITE_SHORT_SHELTER_STEPS;
    if (d.blackShelter == 0x71) c.blackShelterSteps = BLACK_LONG_SHELTER_STEPS;
    if (d.blackShelter == 0x76) c.blackShelterSteps = BLACK_SHORT_SHELTER_STEPS;
  }
  for (int s = 0; s < 120; s++)
    if (onBoard(s)) squarePass(c, s);
  sparseSquareTerms(c);
  addBackwardPawnTerms(b, c.t, d);
  passedSquares(c, 1);
  passedSquares(c, -1);
  kingZone(c, 1);
  kingZone(c, -1);

  // 10. kings and pawns
  if (!c.queensRich && W + B > 0) kingPawnTerms(b, pawnKingNear, pawnKingRank);

  // 11. shelter files
  if (d.whiteShelter != NO_SQUARE && d.blackShelter != NO_SQUARE && d.middlegame) shelterFiles(c);

  // 12. castling rights
  if (!b->kingActive) {
    int cost = d.middlegame ? castleRightsMiddle : castleRightsEnd;
    if ((*flags & (2 | 8)) && d.whiteShelter != NO_SQUARE)
      addTo(c.t[WK], E1,
            c.centreFactor * (centreCloseness(d.whiteShelter - E5) - centreCloseness(E1 - E5)) - cost);
    if ((*flags & (4 | 16)) && d.blackShelter != NO_SQUARE)
      addTo(c.t[BK], E8,
            c.centreFactor * (centreCloseness(d.blackShelter - E5) - centreCloseness(E8 - E5)) - cost);
  }

  // 13. pawn chains at the king, trapped pieces
  if (c.queensRich && d.emptyFiles == 0) {
    if (d.whiteShelter == 0x06 && codeAt(b, 0x44) == BLACK_PAWN && codeAt(b, 0x35) == BLACK_PAWN) c.S -= 20;
    if (d.blackShelter == 0x76 && codeAt(b, 0x34) == WHITE_PAWN && codeAt(b, 0x45) == WHITE_PAWN) c.S += 20;
    if (d.whiteShelter == 0x01 && codeAt(b, 0x32) == BLACK_PAWN && codeAt(b, 0x43) == BLACK_PAWN) c.S -= 20;
    if (d.blackShelter == 0x71 && codeAt(b, 0x42) == WHITE_PAWN && codeAt(b, 0x33) == WHITE_PAWN) c.S += 20;
  }
  addTrappedPieceTerms(b);

  // 14. tempo
  b->tempo = scoreOffset + 1;

  // 15. drawish scaling
  d.openFileRookBonus = d.emptyFiles < 4 ? 4 : 0;
  bool shrink = (*flags & STATUS_SHRINK_IN_SCORE) != 0;
  if (d.drawClass || (shrink && W + B <= 10)) {
    int k = 64;
    int clock = halfMoveClock > 100 ? 100 : halfMoveClock;  // keeps k from turning negative
    if (shrink && wPieces + bPieces <= 3) k = ((100 - clock) * (d.oppositeBishops ? 18 : 37) + 150) / 100;
    if (d.drawClass && k > 17) k = d.drawClass == 2 ? 17 : (k < 39 ? k : 39);
    c.S = scalePreparation(b, k, c.S);
  } else {
    int nr = 2 * kindOf(b, 1, KNIGHT)->currentValue - kindOf(b, 1, ROOK)->currentValue;
    if (P >= nr && d.emptyFiles >= 1 && d.emptyFiles <= 3) c.S += 8;
    if (P <= -nr && d.emptyFiles >= 1 && d.emptyFiles <= 3) c.S -= 8;
  }

  // 16. final sum
  return finalSum(b, c.S);
}
