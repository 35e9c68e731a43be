// The searches: node search, searching one move, frontier and quiescence
// searches, static exchange and the single-pawn draw patterns.
#pragma once
#include <atomic>

#include "engine/board/position.h"

constexpr int PV_LENGTH = 19;
constexpr int MAX_SP = 800;

int search(Position *pos, int depth, int beta, int alpha, Move *killers, Move *pv, const Move *excluded);
void searchMove(Position *pos, int depth, int *beta, int *alpha, Move *killers, Move *pv, Move move,
                Position *child, const Move *excluded);
int searchNullMove(Position *pos, int bound, int mode);
int searchFrontier(Position *pos, int depth, int beta, int alpha, Move *killers, Move *pv);
int quiesceChecks(Position *pos, int beta, int alpha, Move *killers, Move *pv);
int quiesce(Position *pos, int beta, int alpha, Move *moveOut);
void kingPawnTerm(Position *pos);

// Root report hooks (installed by the module interface).
void sendPv(int depth, int score, const Move *pv, int flag);
void sendCurrentMove(int depth, const Position *node, int recount);
int sendTablebaseProbe(Board *board, int side, int epSquare, int *value);

// Every save slot free? (tests and the end of each search)
bool allSaveSlotsFree();
// Frees every save slot (a reset preparation calls it through its hook).
void releaseAllSaveSlots();
// Save slots in use now.
int saveSlotsInUse();
// Claims a free save slot for a board (-1 when all are in use); frees one.
int claimSaveSlot(Board *b);
void freeSaveSlot(int i);

// Set at the root of each iteration while the root's hash move is searched.
extern std::atomic<int> rootOnHashMove;
