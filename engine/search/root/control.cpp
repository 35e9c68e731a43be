// The search's control words and hooks.
#include "engine/search/root/control.h"

std::atomic<int> searchState{0};
std::atomic<int> stopFlag{0};
std::atomic<int> iterationDone{0};
std::atomic<int> timeUp{0};
std::atomic<int> firstIterationDone{0};
std::atomic<int> stopAtIterationEnd{0};
std::atomic<int> reportedMoves{0};
int32_t tbMenLimit;

void (*timerHook)(int softMs, int hardMs);
void (*pvHook)(int depth, int score, const Move *pv, int flag);
void (*currentMoveHook)(int depth, const Position *node, int recount);
int (*tablebaseHook)(Board *board, int side, int epSquare, int *value);
void (*nodeHook)();
void (*searchStartHook)();
void (*searchEndHook)();
