#include "uci/commands.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "engine/search/hash.h"
#include "uci/book.h"
#include "uci/engine_thread.h"
#include "uci/go.h"
#include "uci/movetext.h"
#include "uci/numbers.h"
#include "uci/options.h"
#include "uci/output.h"
#include "uci/position.h"
#include "uci/startup.h"
#include "uci/state.h"
#include "uci/tablebase_setup.h"
#include "uci/timers.h"

namespace {

bool isTablebaseOption(const char *id) {
  return equalsIgnoreCase(id, "Use_tablebases") || equalsIgnoreCase(id, "NalimovPath") ||
         equalsIgnoreCase(id, "NalimovCache");
}

// Ends a running search and waits until the engine thread is idle.
void stopAndWait() {
  if (!engineAvailable) return;
  abortSearch();
  waitForIdle();
}

}  // namespace

bool ensureEngine(const char *line) {
  if (!engineStarted) {
    if (!startEngine()) reportError("Engine initialization failed", line);
    engineStarted = 1;
  }
  return engineAvailable;
}

void abortSearch() {
  // The module is told only while a search of ours runs: a stop while it is
  // idle would leave its search state behind and lose the next ponderhit.
  if (!engineAvailable || !thinkInProgress()) return;
  // The search ends at once, whether or not it has reported a variation: the
  // module then reports the best root move it has, so the bestmove line
  // still names a move of an info line. A search not yet handed to the
  // module sees stopRequested there (both words are sequentially consistent,
  // so one side or the other always makes the call).
  stopRequested = true;
  if (moduleSearching && engineOps.stopSearch) engineOps.stopSearch();
  // A held bestmove (book move while pondering, no legal move) is released.
  releaseHold();
}

void prepareGo() {
  stopRequested = false;
  for (auto &m : bestMove) m = NO_MOVE;
  resetReports();
  setTimer(0);  // no timer of an earlier search may fire into this one
  if (engineOps.resetStop) engineOps.resetStop();
  resetHold();
}

int cmdUci(const char *, char **, int) {
  uciPrint("id name Tessel 12.5.0.3 UCI");
  uciPrint("id author Quillon");
  listOptions();
  uciPrint("uciok");
  return 1;
}

int cmdIsready(const char *line, char **, int) {
  ensureEngine(line);
  // During a search the answer comes at once: the reader must stay free to
  // read "stop" or "ponderhit". A search that was told to stop is waited
  // for, so its bestmove line comes before "readyok".
  if (engineAvailable && (!thinkInProgress() || stopRequested)) {
    sendToEngine("waitforidle");
    waitForIdle();
  }
  uciPrint("readyok");
  return 1;
}

int cmdSetoption(const char *, char **tokens, int count) {
  if (count < 4 || strcmp(tokens[1], "name") != 0 || strcmp(tokens[3], "value") != 0) return 1;
  const char *id = tokens[2];
  std::string value;
  for (int i = 4; i < count; i++) {
    if (i > 4) value += ' ';
    value += tokens[i];
  }
  // The engine thread reads option values: no search may run while one changes.
  if (engineStarted) stopAndWait();
  setOptionValue(id, value.c_str());

  if (engineStarted && engineAvailable && equalsIgnoreCase(id, "Hash")) {
    int64_t n = parseInt(value.c_str());
    if (n >= 4 && n * 1024 != hashSizeKb) {
      freeHash(&hashTable);
      if (engineOps.freeHashTable) engineOps.freeHashTable();
      setHashSize((uint64_t)n * MB, tbMen);
    }
  }
  if (equalsIgnoreCase(id, "Book_file") && isOn(optionValue("OwnBook"))) {
    if (!openBook(&book, optionValue("Book_file"))) {
      uciPrint("%s", strerror(errno));
      setOptionValue("OwnBook", "false");
    }
  }
  if (engineStarted && engineAvailable && isTablebaseOption(id)) {
    int men = setUpTablebases();
    if (men != tbMen) setHashSize(0, men);
  }
  tbhits = 0;
  applySearchOptions();
  return 1;
}

int cmdUcinewgame(const char *line, char **, int) {
  if (!ensureEngine(line)) return 1;
  stopAndWait();
  if (engineOps.newGame) engineOps.newGame();
  return 1;
}

int cmdPosition(const char *line, char **tokens, int count) {
  ensureEngine(line);
  int movesIndex = count;
  for (int i = 1; i < count; i++)
    if (!strcmp(tokens[i], "moves")) {
      movesIndex = i;
      break;
    }
  std::string fen = positionFen(tokens, count, movesIndex);
  stopAndWait();
  currentGame.fen = fen;
  currentGame.moves.clear();
  if (!setPosition(fen.c_str())) {
    uciPrint("info string Illegal position");
    currentGame.valid = false;  // "go" answers no move until a good position
    rootHasMoves = false;
    rootMoveCount = 0;
    return 1;
  }
  currentGame.valid = true;
  for (int i = movesIndex + 1; i < count; i++) {
    if (!playPositionMove(tokens[i], i == count - 1)) {
      uciPrint("Illegal move: %s", tokens[i]);
      break;
    }
  }
  updateRootHasMoves();
  return 1;
}

int cmdGo(const char *line, char **tokens, int count) {
  if (!ensureEngine(line)) {
    uciPrint("bestmove 0000");
    return 1;
  }
  // A search still running is ended first; its bestmove line comes before.
  if (thinkInProgress()) {
    abortSearch();
    waitForIdle();
  }
  engineSettings.contempt = clampInt(parseInt(optionValue("Contempt")), -500, 500);
  ThinkRequest request;
  parseGo(line, tokens, count, &request);
  if (request.infinite) engineSettings.contempt = 0;
  prepareGo();
  char think[128];
  formatThink(think, sizeof think, &request);
  sendToEngine("%s", think);
  return 1;
}

int cmdStop(const char *line, char **, int) {
  ensureEngine(line);
  abortSearch();
  return 1;
}

int cmdPonderhit(const char *, char **, int) {
  // Only a running search is told: a late ponderhit would re-arm its timer.
  if (engineOps.ponderHit && engineAvailable && thinkInProgress()) engineOps.ponderHit();
  if (engineAvailable) releaseHold();
  return 1;
}

int cmdQuit(const char *, char **, int) { return 0; }
