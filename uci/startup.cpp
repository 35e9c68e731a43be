#include "uci/startup.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "uci/engine_thread.h"
#include "uci/options.h"
#include "uci/output.h"
#include "uci/position.h"
#include "uci/reader.h"
#include "uci/tablebase_setup.h"
#include "uci/state.h"
#include "uci/timers.h"

namespace {

constexpr size_t ENGINE_THREAD_STACK = 64u << 20;  // the search runs on this thread

void fillCallbacks() {
  engineCallbacks.reserved0 = nullptr;
  engineCallbacks.reserved1 = nullptr;
  engineCallbacks.startTimer = setTimer;
  engineCallbacks.reportPv = printPv;
  engineCallbacks.reportCurrentMove = printCurrentMove;
  engineCallbacks.reportNodes = setNodeCount;
  engineCallbacks.probeTablebase = probeTablebaseCallback;
  engineCallbacks.reserved7 = nullptr;
}

}  // namespace

bool bindEngine() {
  void *library = nullptr;
  std::string dir = platformExecutableDir();
  if (!dir.empty()) library = platformLoadLibrary((dir + "/" + MODULE_FILE).c_str());
  if (!library) library = platformLoadLibrary(MODULE_FILE);
  if (!library) {
    reportError("Cannot find engine module", "");
    return false;
  }
  EngineInitFn init = (EngineInitFn)platformFindSymbol(library, "EngineInit");
  if (!init) {
    reportError("Engine entry point not found", "");
    return false;
  }
  fillCallbacks();
  init(&engineCallbacks, &engineOps);
  return true;
}

int startEngine() {
  if (initMailbox() != 0) return 0;
  currentGame.fen.clear();
  currentGame.moves.clear();
  currentGame.valid = true;
  if (!applyOptions()) return 0;
  if (platformStartThread(engineThread, nullptr, ENGINE_THREAD_STACK) != 0) return 0;
  engineAvailable = true;
  return 1;
}

int uciMain() {
  // A GUI that goes away must not kill us with SIGPIPE mid-line.
  signal(SIGPIPE, SIG_IGN);
  engineStarted = 0;
  for (auto &m : bestMove) m = NO_MOVE;
  setProcessorCount(platformCpuCount());
  setOptionDefaults();
  if (!bindEngine()) return -1;
  stopwatchStart(&overallClock);
  uciLoop(stdin);
  return 1;
}
