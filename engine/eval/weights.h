// The weights of the preparation (derived at each reset preparation from the
// settings' percent words and the constant defaults).
#pragma once
#include <cstdint>

#include "engine/board/board.h"

// Middlegame weights (derived at each reset preparation).
extern int32_t kingCentreMiddle, kingCentreEnd, kingCentreThin;
extern int32_t pressureBaseBackward, pressureBaseIsolated, pressureBaseDoubled, pressureOpenFile;
extern int32_t castleRightsEnd, castleRightsMiddle;
extern int32_t passedKingNear, passedKingFar, passedCentral, passedProtected;
extern int32_t kingZonePiece, kingShieldHole, pawnKingNear, pawnKingRank;
extern int32_t shelterFileBonus, kingFilePenalty;
extern int32_t attackSafe, attackCentre, attackHit, attackBase;
// Endgame weights.
extern int32_t endKingCentre, endPressureBackward, endPressureIsolated, endPressureDoubled,
    endPressureOpenFile, endKingEscort, endKingOutside, endPassedCentral, endPassedProtected,
    endPawnKingNear, endPawnKingRank, endTargetPawn;
// Passed-pawn tables in use (rebuilt from the constant defaults at every reset).
extern int32_t passedNoQueen[8];
extern int32_t passedWithQueen[8];
extern int32_t passedEndgame[8];

void initMiddlegameWeights(Board *board);
void initEndgameWeights();
