#include "uci/state.h"

EngineOps engineOps;
EngineCallbacks engineCallbacks;
// The module's defaults, until getSettings refreshes the block at engine start.
EngineSettings engineSettings = {0,   0,   1,   0,   0,   -9999, 0,   4,   1,   1,   1,   1,   1,
                                 100, 100, 100, 100, 100, 100,   100, 100, 100, 100, 100, 100, 60};

int engineStarted = 0;
bool engineAvailable = false;

std::atomic<Move> bestMove[BEST_MOVE_WORDS] = {};
std::atomic<int> multiPv{1};
std::atomic<bool> stopRequested{false};
int64_t hashSizeKb = 0;
int32_t tbMen = 0;
int32_t gameState = 3;
Stopwatch overallClock;

CurrentGame currentGame = {std::string(), std::vector<Move>(), true};

const char *const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
