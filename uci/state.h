// The program's shared words: the bound module, the settings block it sends,
// the per-search words of the handlers and the engine thread, and the game
// copy's state. The linked engine core's globals (gameBoard, rootPosition,
// gameRecord, hashTable, activeSettings) are the program's own game copy,
// localGame; the module keeps a separate copy of its own.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/board/game/stopwatch.h"
#include "engine/board/position.h"
#include "module/api.h"
#include "tablebases/probe.h"  // tbhits: successful probes of the current search

constexpr int BEST_MOVE_WORDS = 19;
constexpr int MAX_MULTI_PV = 50;

extern EngineOps engineOps;
extern EngineCallbacks engineCallbacks;
extern EngineSettings engineSettings;  // the program's copy of the parameter block

extern int engineStarted;     // first "isready" or "stop" seen
extern bool engineAvailable;  // startEngine succeeded: mailbox and engine thread exist

// The last reported variation's first moves: [0] best, [1] ponder.
extern std::atomic<Move> bestMove[BEST_MOVE_WORDS];
extern std::atomic<int> multiPv;
// Set by "stop" (and by anything that ends the current search) until the next
// "go"; the engine thread reads it when it hands the search to the module.
extern std::atomic<bool> stopRequested;
// Module table size in KB after the last sizing, and the men count it was given.
extern int64_t hashSizeKb;
extern int32_t tbMen;
// 0 White has won, 1 drawn, 2 Black has won, 3 running.
extern int32_t gameState;
// The program's overall stopwatch, started once at start-up.
extern Stopwatch overallClock;

// The current game as last set by "position": replayed onto both games after
// the tables are rebuilt, so a hash or tablebase change keeps the game.
struct CurrentGame {
  std::string fen;           // empty: the standard start position
  std::vector<Move> moves;   // moves played on both games after the FEN
  bool valid;                // false after a rejected FEN, until the next good one
};
extern CurrentGame currentGame;

extern const char *const START_FEN;
