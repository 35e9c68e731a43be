// The weights of the preparation: piece values and the middlegame and endgame
// term weights, derived from the settings' percent words at each reset.
#include "engine/eval/weights.h"

#include "engine/eval/builders/prepare_data.h"
#include "engine/eval/prepare.h"
#include "engine/eval/settings.h"

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

static inline int pct(int base, int word) { return base * word / 100; }

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
