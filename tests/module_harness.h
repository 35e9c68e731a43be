// A test harness for the engine module's interface: callbacks that record
// every report and timer request, a hand-driven test timer, a search run on a
// thread of its own, and a legality check of reported moves done with the
// test binary's own copy of the engine core.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/board/position.h"
#include "engine/search/hash.h"
#include "engine/search/root/driver.h"
#include "module/api.h"

namespace harness {

struct PvReport {
  int pvIndex, depth, score;
  std::vector<Move> line;
};

struct Recorder {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> timerCalls;
  std::vector<PvReport> pvs;
  std::vector<int> currentMoveDepths;
  int64_t lastNodes = -1;
  std::atomic<int> inCallback{0};
  std::atomic<int> overlapped{0};

  void clear() {
    std::lock_guard<std::mutex> g(mutex);
    timerCalls.clear();
    pvs.clear();
    currentMoveDepths.clear();
    lastNodes = -1;
    overlapped = 0;
  }
  // Waits until pred() holds (checked under the lock) or the time is up.
  template <typename Pred>
  bool waitFor(Pred pred, int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(ms), pred);
  }
  std::vector<int> timers() {
    std::lock_guard<std::mutex> g(mutex);
    return timerCalls;
  }
  std::vector<PvReport> reports() {
    std::lock_guard<std::mutex> g(mutex);
    return pvs;
  }
};

inline Recorder recorder;

// Marks entry into a callback; two at once means the module let reports interleave.
struct CallbackScope {
  CallbackScope() {
    if (recorder.inCallback.fetch_add(1) != 0) recorder.overlapped.fetch_add(1);
  }
  ~CallbackScope() { recorder.inCallback.fetch_sub(1); }
};

inline void onStartTimer(int ms) {
  std::lock_guard<std::mutex> g(recorder.mutex);
  recorder.timerCalls.push_back(ms);
  recorder.changed.notify_all();
}
inline void onReportPv(int pvIndex, int depth, int score, int, int, const Move *pv, int) {
  CallbackScope scope;
  PvReport r{pvIndex, depth, score, {}};
  for (int i = 0; i < 19 && moveFrom(pv[i]) != NO_SQUARE; i++) r.line.push_back(pv[i]);
  std::lock_guard<std::mutex> g(recorder.mutex);
  recorder.pvs.push_back(r);
  recorder.changed.notify_all();
}
inline void onReportCurrentMove(int depth, Move, int, int) {
  CallbackScope scope;
  std::lock_guard<std::mutex> g(recorder.mutex);
  recorder.currentMoveDepths.push_back(depth);
}
inline void onReportNodes(int64_t nodes) {
  CallbackScope scope;
  std::lock_guard<std::mutex> g(recorder.mutex);
  recorder.lastNodes = nodes;
}

inline EngineCallbacks makeCallbacks() {
  EngineCallbacks cb;
  memset(&cb, 0, sizeof cb);
  cb.startTimer = onStartTimer;
  cb.reportPv = onReportPv;
  cb.reportCurrentMove = onReportCurrentMove;
  cb.reportNodes = onReportNodes;
  return cb;
}

// A search run on its own thread, as the program's engine thread runs it.
struct SearchRun {
  std::thread worker;
  std::atomic<bool> done{false};
  void start(EngineOps *ops, int multiPv, int ponder) {
    done = false;
    worker = std::thread([this, ops, multiPv, ponder] {
      ops->runSearch(multiPv, ponder);
      done = true;
      std::lock_guard<std::mutex> g(recorder.mutex);
      recorder.changed.notify_all();
    });
  }
  bool waitDone(int ms) {
    bool ok = recorder.waitFor([this] { return done.load(); }, ms);
    return ok;
  }
  void join() {
    if (worker.joinable()) worker.join();
  }
};

inline Move sq(const char *s) { return (Move)((s[0] - 'a') + (s[1] - '1') * 16); }
inline Move mv(const char *s) { return makeMoveWord(sq(s), sq(s + 2)); }

// The legal moves of a FEN position (and moves played from it), computed by
// the test binary's own engine core, independent of the module under test.
inline std::vector<Move> legalMovesOf(const char *fen, const std::vector<Move> &played = {}) {
  static bool ready = false;
  if (!ready) {
    initEngineCore();
    ready = true;
  }
  std::vector<Move> out;
  if (parseFen(fen) != 0 || setupPosition(&rootPosition, &gameRecord) != 0) return out;
  for (Move m : played) playGameMove(m);
  Move list[MAX_ROOT_MOVES];
  int n = legalMoves(&rootPosition, list, MAX_ROOT_MOVES);
  out.assign(list, list + n);
  return out;
}

// Is the whole line a legal sequence from the position?
inline bool lineIsLegal(const char *fen, const std::vector<Move> &played, const std::vector<Move> &line) {
  std::vector<Move> path = played;
  for (Move m : line) {
    std::vector<Move> legal = legalMovesOf(fen, path);
    bool found = false;
    for (Move l : legal) found = found || l == m;
    if (!found) return false;
    path.push_back(m);
  }
  return true;
}

}  // namespace harness
