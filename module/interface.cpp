// The module interface: EngineInit, the operations table, the callbacks and
// the control words that the program's threads write during a search.
#include <cstring>
#include <pthread.h>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/eval/settings.h"
#include "engine/search/hash.h"
#include "engine/search/root/control.h"
#include "engine/search/root/driver.h"
#include "engine/search/root/timealloc.h"
#include "engine/search/search_move.h"
#include "engine/smp/split.h"
#include "engine/smp/threads.h"
#include "module/callbacks.h"
#include "module/reports.h"
#include "platform/platform.h"

static EngineCallbacks programCallbacks;

static void lockedReportPv(int pvIndex, int depth, int score, int timeMs, int hashfull, const Move *pv, int flag) {
  lockReports();
  if (pv && moveFrom(pv[0]) != NO_SQUARE) reportedMoves.fetch_add(1, std::memory_order_relaxed);
  programCallbacks.reportPv(pvIndex, depth, score, timeMs, hashfull, pv, flag);
  unlockReports();
}
static void lockedReportCurrentMove(int depth, Move move, int flags, int extra) {
  lockReports();
  programCallbacks.reportCurrentMove(depth, move, flags, extra);
  unlockReports();
}
static void lockedReportNodes(int64_t nodes) {
  lockReports();
  programCallbacks.reportNodes(nodes);
  unlockReports();
}

// ---- timers and the search-control words ----
// controlMutex orders ponderHit, timerExpired and the driver's start and end,
// so that a timer is armed only while a search is really running. It is never
// held while the timers are cancelled (a cancel waits for a running expiry).
static pthread_mutex_t controlMutex = PTHREAD_MUTEX_INITIALIZER;
static int searchRunning;  // between beginSearchControl and endSearchControl
static int ponderLatch;    // a ponderhit that came before the search started
// The extension from the soft to the hard limit, armed with the timer and
// taken once by the soft timer's expiry.
static std::atomic<int> pendingExtensionMs{0};

static void armSearchTimer(int softMs, int hardMs) {
  if (!programCallbacks.startTimer) return;
  pendingExtensionMs.store(hardMs - softMs, std::memory_order_relaxed);
  programCallbacks.startTimer(softMs);
}

// Driver start: honours a ponderhit latched before the search began, marks the
// search as running and arms the timer unless pondering.
static void beginSearchControl() {
  ENGINE_ASSERT(pthread_mutex_lock(&controlMutex) == 0);
  if (ponderLatch) {
    ponderLatch = 0;
    if (searchState.load() == SEARCH_PONDERING) searchState.store(SEARCH_RUNNING);
  }
  searchRunning = 1;
  if (searchState.load() != SEARCH_PONDERING && softTimeMs > 0 && timerHook) timerHook(softTimeMs, hardTimeMs);
  ENGINE_ASSERT(pthread_mutex_unlock(&controlMutex) == 0);
}

// Driver end: marks the search as no longer running and cancels both timers.
static void endSearchControl() {
  ENGINE_ASSERT(pthread_mutex_lock(&controlMutex) == 0);
  searchRunning = 0;
  ENGINE_ASSERT(pthread_mutex_unlock(&controlMutex) == 0);
  if (timerHook) timerHook(0, 0);
}

// ---- the operations ----
static void opSetSettings(const EngineSettings *in) {
  if (!in) return;
  int oldThreads = activeSettings.threads;
  activeSettings = *in;
  activeSettings.paramsSet = 1;
  if (activeSettings.threads != oldThreads) setThreadCount(activeSettings.threads);
}

static void opGetSettings(EngineSettings *out) {
  if (out) *out = activeSettings;
}

static void opNewGame() { clearHash(&hashTable); }

static uint64_t opInitEngine(uint64_t hashBytes, int tbMen) {
  static bool threadsStarted = false;
  tbMenLimit = tbMen;
  if (hashBytes == 0) return 0;
  // Keys, attack tables and the game board exist since EngineInit; a call
  // here (again after each hash resize) only reallocates the table, so the
  // game's position survives. The helpers are created by the first call.
  uint64_t got = allocHashTable(&hashTable, hashBytes);
  if (!threadsStarted) {
    startThreads(activeSettings.threads);
    threadsStarted = true;
  }
  return got;
}

static void opFreeHashTable() { freeHash(&hashTable); }

// The text of the last accepted FEN (empty: the standard start position),
// for rebuilding the game when a new text is rejected half-way.
static GameRecord savedRecord;

static void rebuildGame(const GameRecord *saved) {
  gameRecord = *saved;
  gameRecord.entryCount = 0;
  gameRecord.movesPlayed = 0;
  if (setupPosition(&rootPosition, &gameRecord) != 0) {
    parseFen(nullptr);
    setupPosition(&rootPosition, &gameRecord);
    return;
  }
  for (int i = 0; i < saved->entryCount; i++) playGameMove(saved->entries[i].move);
  memcpy(gameRecord.entries, saved->entries, sizeof gameRecord.entries);
  gameRecord.entryCount = saved->entryCount;
  gameRecord.movesPlayed = saved->movesPlayed;
  gameRecord.whiteClock = saved->whiteClock;
  gameRecord.blackClock = saved->blackClock;
  gameRecord.moveNumber = saved->moveNumber;
}

static int opSetFen(const char *fen) {
  savedRecord = gameRecord;
  if (parseFen(fen) != 0) {
    gameRecord = savedRecord;  // the parse already leaves the record as it was
    return -1;
  }
  if (setupPosition(&rootPosition, &gameRecord) != 0) {
    rebuildGame(&savedRecord);  // never leave a half-built board behind
    return -1;
  }
  return 0;
}

static int opPlayMove(Move move, int letter) {
  int from = moveFrom(move);
  if (!onBoard(from)) return 1;
  const PieceRecord *p = gameBoard.at(from);
  if (p->colour != 0 && p->kind && p->kind->kind == PAWN) {
    int to = moveToByte(move);
    int add = letter == 'B' ? 0x2000 : letter == 'N' ? 0x3000 : letter == 'R' ? 0x1000 : 0;
    if (to >= 0x70 && to <= 0x7F) move = (Move)(move + add);
    else if (to < 0x10) move = (Move)(move - add);
  }
  Move legal[MAX_ROOT_MOVES];
  int n = legalMoves(&rootPosition, legal, MAX_ROOT_MOVES);
  for (int i = 0; i < n; i++)
    if (legal[i] == move) return playGameMove(move);
  return 1;  // not a legal move here: nothing changes
}

static void opSetTimeControl(int mode, int a, int b, int c, int d) {
  timeControl.mode = mode;
  timeControl.a = a;
  timeControl.b = b;
  timeControl.c = c;
  timeControl.d = d;
}

static void opSetMoveNumber(int n) { gameRecord.moveNumber = n; }

static int opResetStop() {
  stopFlag.store(0);
  timeUp.store(0);
  iterationDone.store(0);
  stopAtIterationEnd.store(0);
  ENGINE_ASSERT(pthread_mutex_lock(&controlMutex) == 0);
  ponderLatch = 0;
  ENGINE_ASSERT(pthread_mutex_unlock(&controlMutex) == 0);
  return 0;
}

static void opRunSearch(int multiPv, int ponder) {
  // A search without a table (before initEngine, after freeHashTable) gets
  // the smallest one rather than writing through a null table.
  if (!hashTable.entries) allocHashTable(&hashTable, MIN_HASH_BYTES);
  rootPosition.pg->engineSide = rootPosition.side;
  searchState.store(ponder ? SEARCH_PONDERING : SEARCH_RUNNING);
  iterativeSearch(&rootPosition, multiPv);
  while (searchState.load() == SEARCH_PONDERING && !stopFlag.load()) platformSleep100();
  searchState.store(SEARCH_IDLE);
  if (timerHook) timerHook(0, 0);  // no timer of this search outlives it
}

static void opPonderHit() {
  ENGINE_ASSERT(pthread_mutex_lock(&controlMutex) == 0);
  if (searchState.load() == SEARCH_PONDERING) {
    if (searchRunning) {
      if (iterationDone.load() && timeUp.load()) stopFlag.store(1);
      // The time allocated at the search start counts again from now.
      if (softTimeMs > 0 && timerHook) timerHook(softTimeMs, hardTimeMs);
    }
    searchState.store(SEARCH_RUNNING);
  } else if (searchState.load() == SEARCH_IDLE && !searchRunning) {
    ponderLatch = 1;  // the ponder search has not started yet
  }
  ENGINE_ASSERT(pthread_mutex_unlock(&controlMutex) == 0);
}

static int opStopSearch() {
  stopFlag.store(1);
  searchState.store(SEARCH_RUNNING);
  return 1;
}

static void opTimerExpired() {
  ENGINE_ASSERT(pthread_mutex_lock(&controlMutex) == 0);
  if (searchRunning) {
    int d = pendingExtensionMs.exchange(0);
    if (iterationDone.load() || d == 0) {
      if (firstIterationDone.load())
        stopFlag.store(1);
      else
        stopAtIterationEnd.store(1);  // stop once the first iteration has a move
    } else if (programCallbacks.startTimer) {
      programCallbacks.startTimer(-d);  // the one extension to the hard limit
    }
  }
  ENGINE_ASSERT(pthread_mutex_unlock(&controlMutex) == 0);
}

extern "C" void *EngineInit(EngineCallbacks *cb, EngineOps *ops) {
  if (ops) {
    ops->setSettings = opSetSettings;
    ops->getSettings = opGetSettings;
    ops->newGame = opNewGame;
    ops->initEngine = opInitEngine;
    ops->freeHashTable = opFreeHashTable;
    ops->setFen = opSetFen;
    ops->playMove = opPlayMove;
    ops->setTimeControl = opSetTimeControl;
    ops->setMoveNumber = opSetMoveNumber;
    ops->resetStop = opResetStop;
    ops->runSearch = opRunSearch;
    ops->ponderHit = opPonderHit;
    ops->stopSearch = opStopSearch;
    ops->timerExpired = opTimerExpired;
  }
  if (cb)
    programCallbacks = *cb;
  else
    memset(&programCallbacks, 0, sizeof programCallbacks);
  callbacks = programCallbacks;
  callbacks.reportPv = programCallbacks.reportPv ? lockedReportPv : nullptr;
  callbacks.reportCurrentMove = programCallbacks.reportCurrentMove ? lockedReportCurrentMove : nullptr;
  callbacks.reportNodes = programCallbacks.reportNodes ? lockedReportNodes : nullptr;
  nodeHook = nullptr;
  activeSettings = initialSettings;
  pvHook = sendPv;
  currentMoveHook = sendCurrentMove;
  tablebaseHook = sendTablebaseProbe;
  timerHook = armSearchTimer;
  searchStartHook = beginSearchControl;
  searchEndHook = endSearchControl;

  // Keys, attack tables and the game board exist from here on, with the
  // standard start position set up, so every operation is safe before initEngine.
  initEngineCore();
  parseFen(nullptr);
  setupPosition(&rootPosition, &gameRecord);
  return (void *)&sendPv;
}
