// Position preparation driver: piece values and weights from the settings,
// the choice between the middlegame and endgame builders, the hanging-piece
// rule, and the Position's incremental score base; plus the steps that both
// builders share (file pressure, scaling, final sum).
#include "engine/eval/prepare.h"
#include "engine/eval/builders/prepare_steps.h"

#include <cstring>

#include "engine/board/game/game.h"
#include "engine/board/moves/attacks.h"
#include "engine/eval/builders/prepare_data.h"
#include "engine/eval/save_slots.h"
#include "module/interface.h"

int32_t endgameThreshold = 967;
int32_t richMaterial = 2429;
int32_t twoRooksTwoBishops = 1194;
int32_t rookBishopQueen = 1317;
int32_t scoreOffset = 0;
std::atomic<int32_t> tempo{1};
std::atomic<int32_t> searchMargin{-9};

int32_t kingCentreMiddle, kingCentreEnd, kingCentreThin;
int32_t pressureBaseBackward, pressureBaseIsolated, pressureBaseDoubled, pressureOpenFile;
int32_t castleRightsEnd, castleRightsMiddle;
int32_t passedKingNear, passedKingFar, passedCentral, passedProtected;
int32_t kingZonePiece, kingShieldHole, pawnKingNear, pawnKingRank;
int32_t shelterFileBonus, kingFilePenalty;
int32_t attackSafe, attackCentre, attackHit, attackBase;
int32_t endKingCentre, endPressureBackward, endPressureIsolated, endPressureDoubled, endPressureOpenFile,
    endKingEscort, endKingOutside, endPassedCentral, endPassedProtected, endPawnKingNear, endPawnKingRank,
    endTargetPawn;
int32_t passedNoQueen[8];
int32_t passedWithQueen[8];
int32_t passedEndgame[8];


namespace {

inline int pct(int base, int word) { return base * word / 100; }

// First piece of a side's list that attacks the square (sliders need an empty
// path in the occupancy), or null.
PieceRecord *firstAttacker(Board *b, int side, int target, uint64_t occupancy) {
  for (PieceRecord *r = headOf(b, side)->node.next; r != b->end(); r = r->next) {
    if (!onBoard(r->square)) continue;
    int cap = r->kind->capability;
    if (!(attackCapability(target - r->square) & cap)) continue;
    if ((cap & (2 | 4 | 8)) && (squaresBetween(r->square, target) & occupancy)) continue;
    return r;
  }
  return nullptr;
}

// Step 4: castling bits of a corner without its rook are dropped.
void refreshCastling(Position *pos) {
  Board *b = pos->pg;
  int32_t &f = pos->statusFlags;
  if (f & (2 | 8)) {
    if (b->at(0x00)->kind != &b->kinds[WHITE_ROOK]) f &= ~8;
    if (b->at(0x07)->kind != &b->kinds[WHITE_ROOK]) f &= ~2;
  }
  if (f & (4 | 16)) {
    if (b->at(0x70)->kind != &b->kinds[BLACK_ROOK]) f &= ~16;
    if (b->at(0x77)->kind != &b->kinds[BLACK_ROOK]) f &= ~4;
  }
}

// Step 5: the kind of a piece that the last move left en prise (counted one
// lower while the builder runs), or null.
PieceKind *hangingKind(Position *pos) {
  Board *b = pos->pg;
  if (pos->capturedPiece == b->end() && !(pos->nodeFlags & 1)) return nullptr;
  int to = realTo(pos->lastMove);
  if (!onBoard(to)) return nullptr;
  PieceRecord *target = b->at(to);
  if (target->colour == 0 || target->kind->kind == KING) return nullptr;
  PieceRecord *attacker = firstAttacker(b, pos->side, to, pos->allBits);
  if (!attacker) return nullptr;
  if (attacker->kind->pieceClass >= target->kind->pieceClass &&
      firstAttacker(b, -pos->side, to, pos->allBits))
    return nullptr;
  return target->kind;
}

void hide(Board *b, PieceKind *k, int sign) {
  if (!k) return;
  k->count -= sign;
  if (k->kind != PAWN) b->material -= sign * k->middlegameValue;
}

// Steps 8 to 11: from the builder's white-view score to the Position's score.
void scoreFromBuilder(Position *pos, int e) {
  Board *b = pos->pg;
  int t = tempo.load(std::memory_order_relaxed);
  searchMargin.store(t - scoreOffset - 10, std::memory_order_relaxed);
  int m = (pos->side < 0 ? -e : e) + t / 2;
  if (pos->statusFlags & 0x400) {
    int o = b->drawShrink;
    if (m >= (3 * o) / 2) {
      m -= o;
    } else if (m > (-3 * o) / 2) {
      b->drawShrink = (2 * m) / 3;
      m -= b->drawShrink;
    } else {
      b->drawShrink = -o;
      m += o;
    }
    if (pos->side != engineSide) b->drawShrink = -b->drawShrink;
  }
  pos->score = pos->side == engineSide ? m + activeSettings.contempt : m - activeSettings.contempt;
}

}  // namespace

void initMiddlegameWeights(Board *b) {
  const EngineSettings &s = activeSettings;
  for (int c = 0; c < 13; c++) {
    PieceKind *k = &b->kinds[c];
    if (k->kind == KING) {
      k->middlegameValue = k->endgameValue = KING_VALUE;
    } else if (k->kind >= PAWN) {
      int w = k->kind == PAWN ? s.pawnWeight : s.pieceWeight;
      k->middlegameValue = pct(baseMiddlegameValue[k->kind], w);
      k->endgameValue = pct(baseEndgameValue[k->kind], w);
    }
  }
  int bishop = b->kinds[WHITE_BISHOP].middlegameValue;
  int rook = b->kinds[WHITE_ROOK].middlegameValue;
  int queen = b->kinds[WHITE_QUEEN].middlegameValue;
  endgameThreshold = bishop + queen;
  richMaterial = 4 * bishop + 2 * queen + 1;
  twoRooksTwoBishops = 2 * (bishop + rook);
  rookBishopQueen = bishop + rook + queen;

  int w18 = s.evalWeight18, w21 = s.evalWeight21, w22 = s.evalWeight22, w23 = s.evalWeight23,
      w24 = s.evalWeight24;
  kingCentreMiddle = pct(8, w18);
  kingCentreEnd = pct(7, w23);
  kingCentreThin = w23 / 10;
  pressureBaseBackward = pct(3, w22);
  pressureBaseIsolated = pct(6, w22);
  pressureBaseDoubled = w22 / 50;
  pressureOpenFile = pct(8, w22);
  castleRightsEnd = pct(7, w18);
  castleRightsMiddle = pct(48, w18);
  passedKingNear = pct(23, w23);
  passedKingFar = pct(14, w23);
  passedCentral = pct(7, w24);
  passedProtected = pct(3, w24);
  kingZonePiece = pct(8, w18);
  kingShieldHole = pct(9, w18);
  pawnKingNear = pct(11, w23);
  pawnKingRank = pct(9, w23);
  shelterFileBonus = pct(9, w18);
  kingFilePenalty = w18 / 10;
  attackSafe = pct(6, w22);
  attackCentre = w21 / 25;
  attackHit = w21 / 20;
  attackBase = pct(3, w21);
  // Rebuilt from the constant defaults, so repeated resets never compound.
  for (int i = 0; i < 8; i++) {
    bool inner = i >= 1 && i <= 6;
    passedNoQueen[i] = inner ? pct(passedNoQueenDefault[i], w24) : passedNoQueenDefault[i];
    passedWithQueen[i] = inner ? pct(passedWithQueenDefault[i], w24) : passedWithQueenDefault[i];
  }
  passedWithQueen[1] = passedWithQueen[2] = w24 / 50;
}

void initEndgameWeights() {
  const EngineSettings &s = activeSettings;
  int w22 = s.evalWeight22, w23 = s.evalWeight23, w24 = s.evalWeight24;
  endKingCentre = pct(12, w23);
  endPressureBackward = 0;
  endPressureIsolated = w22 / 25;
  endPressureDoubled = 0;
  endPressureOpenFile = pct(7, w22);
  endKingEscort = pct(3, w23);
  endKingOutside = pct(8, w23);
  endPassedCentral = pct(18, w24);
  endPassedProtected = w24 / 20;
  endPawnKingNear = pct(12, w23);
  endPawnKingRank = pct(7, w23);
  endTargetPawn = pct(23, w22);
  for (int i = 0; i < 8; i++) {
    bool inner = i >= 1 && i <= 6;
    passedEndgame[i] = inner ? pct(passedEndgameDefault[i], w24) : passedEndgameDefault[i];
  }
  passedEndgame[1] = passedEndgame[2] = pct(8, w24);
}

void prepare(Position *pos, int reset) {
  Board *b = pos->pg;
  if (reset) {
    initMiddlegameWeights(b);
    initEndgameWeights();
    releaseAllSaveSlots();
  }
  std::memset(&b->prepared, 0, sizeof b->prepared);
  b->prepared.data.occupancy = pos->allBits;
  if (b->material <= endgameThreshold) {
    prepareEndgame(pos, reset);
    return;
  }
  refreshCastling(pos);
  PieceKind *lost = hangingKind(pos);
  hide(b, lost, 1);
  int e = prepareTables(b, &pos->statusFlags, pos->halfMoveClock, pos->side);
  hide(b, lost, -1);
  bool queens = b->kinds[WHITE_QUEEN].count + b->kinds[BLACK_QUEEN].count > 0;
  int h = queens && b->material >= richMaterial ? 7 : 3;
  e += engineSide > 0 ? -h : h;
  scoreFromBuilder(pos, e);
}

void prepareEndgame(Position *pos, int reset) {
  Board *b = pos->pg;
  if (reset) {
    initEndgameWeights();
    releaseAllSaveSlots();
  }
  refreshCastling(pos);
  PieceKind *lost = hangingKind(pos);
  hide(b, lost, 1);
  int e = prepareEndgameTables(b, &pos->statusFlags, pos->halfMoveClock, pos->side);
  hide(b, lost, -1);
  e += engineSide > 0 ? -2 : 2;
  scoreFromBuilder(pos, e);
}

// ---- steps shared by both builders ----

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

void addBishopColourTerms(int16_t **t, const PreparedDataFields &d, int s) {
  int f = fileOf(s), r = rankOf(s);
  if (f >= 1 && f <= 6) {
    int colour = (f + r) & 1;
    if (d.bishopColour[0] >= 0) {
      if (colour == d.bishopColour[0]) {
        addTo(t[WP], s, -4);
        addTo(t[BP], s, 1);
      } else {
        addTo(t[WP], s, 3);
      }
    }
    if (d.bishopColour[1] >= 0) {
      if (colour == d.bishopColour[1]) {
        addTo(t[BP], s, -4);
        addTo(t[WP], s, 1);
      } else {
        addTo(t[BP], s, 4);
        addTo(t[WP], s, -1);
      }
    }
  }
}

void addBackwardPawnTerms(Board *b, int16_t **t, const PreparedDataFields &d, int s) {
  int f = fileOf(s);
  if (!inSet(d.wideAttacks[1], s) && (pawnsOnFile(b, 1, f - 1) || pawnsOnFile(b, 1, f + 1)))
    addTo(t[WP], s, -d.backwardPressure[1][f]);
  if (!inSet(d.wideAttacks[0], s) && (pawnsOnFile(b, -1, f - 1) || pawnsOnFile(b, -1, f + 1)))
    addTo(t[BP], s, -d.backwardPressure[0][f]);
}

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
