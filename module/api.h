// The module interface: the one exported function EngineInit, the callback
// record the program hands over and the operations table the module fills.
// Shared by the engine module and the UCI program.
#pragma once
#include <cstdint>

#include "engine/board/move.h"
#include "engine/eval/settings.h"

#define TESSEL_EXPORT __attribute__((visibility("default")))

// One byte per square a1..h8, each a PieceCode (6 = empty).
struct ProbeBoard {
  uint8_t square[64];
};

// Callbacks filled by the program; the module calls a field only when it is not null.
struct EngineCallbacks {
  void *reserved0;
  void *reserved1;
  void (*startTimer)(int ms);
  void (*reportPv)(int pvIndex, int depth, int score, int timeMs, int hashfull, const Move *pv, int flag);
  void (*reportCurrentMove)(int depth, Move move, int flags, int extra);
  void (*reportNodes)(int64_t nodes);
  int (*probeTablebase)(const ProbeBoard *board, int side, int epSquare, int *score);
  void *reserved7;
};

// Operations filled by EngineInit (slot 8 is left as the program had it).
struct EngineOps {
  void (*setSettings)(const EngineSettings *in);
  void (*getSettings)(EngineSettings *out);
  void (*newGame)();
  // Hash sizes are 64-bit so that large tables never wrap.
  uint64_t (*initEngine)(uint64_t hashBytes, int tbMen);
  void (*freeHashTable)();
  int (*setFen)(const char *fen);
  int (*playMove)(Move move, int letter);
  void (*setTimeControl)(int mode, int a, int b, int c, int d);
  void *reservedSlot8;
  void (*setMoveNumber)(int n);
  int (*resetStop)();
  void (*runSearch)(int multiPv, int ponder);
  void (*ponderHit)();
  int (*stopSearch)();
  void (*timerExpired)();
};

typedef void *(*EngineInitFn)(EngineCallbacks *callbacks, EngineOps *ops);
extern "C" TESSEL_EXPORT void *EngineInit(EngineCallbacks *callbacks, EngineOps *ops);
