// Position preparation: the piece values, the phase by material and the
// prepared tables that stand in for a static evaluation.
#pragma once
#include <atomic>

#include "engine/board/position.h"

// ---- module words ----
extern int32_t endgameThreshold;
extern int32_t richMaterial;
extern int32_t twoRooksTwoBishops;
extern int32_t rookBishopQueen;
extern int32_t scoreOffset;
// Written by every search thread's preparations (same value in each thread).
extern std::atomic<int32_t> tempo;
extern std::atomic<int32_t> searchMargin;

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

// The per-square byte table that a king move is tested against (the king's
// shelter group: a king move between squares of different bytes changes the
// king-zone terms). Selected by the middlegame builder when shelters are set.
extern const uint8_t kingZoneGroups[128];

// ---- drivers and builders ----
void prepare(Position *pos, int reset);
void prepareEndgame(Position *pos, int reset);
void initMiddlegameWeights(Board *board);
void initEndgameWeights();
int prepareTables(Board *board, int32_t *flags, int halfMoveClock, int side);
int prepareEndgameTables(Board *board, int32_t *flags, int halfMoveClock, int side);

// ---- builder steps ----
void addFileSegment(Board *board, int side, int rank, int file, int amount);
void findBoxedRook(Board *board, int start, int end, int side, int *endOut, int *rookOut);
void prepareAttackTerms(Board *board);
void addTrappedPieceTerms(Board *board);
void addTrappedPieceTermsEndgame(Board *board);
void analysePawns(Board *board);
void prepareSquareTerms(Board *board);
void scanSliderLines(Board *board);
