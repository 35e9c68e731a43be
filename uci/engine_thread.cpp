#include "uci/engine_thread.h"

#include <pthread.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/board/game/game.h"
#include "uci/book.h"
#include "uci/numbers.h"
#include "uci/options.h"
#include "uci/output.h"
#include "uci/position.h"
#include "uci/reader.h"
#include "uci/state.h"

namespace {

struct Mailbox {
  pthread_mutex_t mutex;
  pthread_cond_t changed;
  std::string command;
  bool queued;    // a command waits to be taken
  bool busy;      // a command is queued or running
  bool thinking;  // that command is a "think"
};

Mailbox mailbox;

struct Hold {
  pthread_mutex_t mutex;
  pthread_cond_t released;
  bool isReleased;
};

Hold hold = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, false};

}  // namespace

std::atomic<bool> moduleSearching{false};

int initMailbox() {
  int ret = pthread_mutex_init(&mailbox.mutex, nullptr);
  if (ret == 0) ret = pthread_cond_init(&mailbox.changed, nullptr);
  mailbox.queued = mailbox.busy = mailbox.thinking = false;
  return ret;
}

void sendToEngine(const char *format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::string command(text);
  stripNewline(command);
  pthread_mutex_lock(&mailbox.mutex);
  while (mailbox.busy) pthread_cond_wait(&mailbox.changed, &mailbox.mutex);
  mailbox.command = command;
  mailbox.queued = true;
  mailbox.busy = true;
  mailbox.thinking = command.compare(0, 5, "think") == 0;
  pthread_cond_broadcast(&mailbox.changed);
  pthread_mutex_unlock(&mailbox.mutex);
}

void waitForIdle() {
  pthread_mutex_lock(&mailbox.mutex);
  while (mailbox.busy) pthread_cond_wait(&mailbox.changed, &mailbox.mutex);
  pthread_mutex_unlock(&mailbox.mutex);
}

bool thinkInProgress() {
  pthread_mutex_lock(&mailbox.mutex);
  bool thinking = mailbox.busy && mailbox.thinking;
  pthread_mutex_unlock(&mailbox.mutex);
  return thinking;
}

void runEngineCommand() {
  pthread_mutex_lock(&mailbox.mutex);
  while (!mailbox.queued) pthread_cond_wait(&mailbox.changed, &mailbox.mutex);
  std::string command = mailbox.command;
  mailbox.queued = false;
  pthread_mutex_unlock(&mailbox.mutex);

  std::vector<char> copy(command.begin(), command.end());
  copy.push_back(0);
  std::vector<char *> tokens;
  int count = splitTokens(copy.data(), tokens);
  if (count > 0) {
    const CommandEntry *row = findCommand(engineCommandTable, tokens[0]);
    if (!row || count < row->minTokens || (row->maxTokens != -1 && count > row->maxTokens)) {
      reportError("internal error", command.c_str());
    } else if (row->handler) {
      tokens.push_back(nullptr);
      row->handler(command.c_str(), tokens.data(), count);
    }
  }
  // Idle again, whatever the command did.
  pthread_mutex_lock(&mailbox.mutex);
  mailbox.busy = false;
  mailbox.thinking = false;
  pthread_cond_broadcast(&mailbox.changed);
  pthread_mutex_unlock(&mailbox.mutex);
}

void *engineThread(void *) {
  for (;;) runEngineCommand();
  return nullptr;
}

int cmdWaitforidle(const char *, char **, int) { return 0; }

int cmdThink(const char *, char **tokens, int) {
  int side = rootPosition.side > 0 ? 1 : -1;
  int wtime = parseInt(tokens[3]), btime = parseInt(tokens[4]);
  int winc = parseInt(tokens[6]), binc = parseInt(tokens[7]);
  startThinking(parseInt(tokens[1]), parseInt(tokens[2]), side > 0 ? wtime : btime, parseInt(tokens[5]),
                side > 0 ? winc : binc, parseInt(tokens[8]));
  return 0;
}

void resetHold() {
  pthread_mutex_lock(&hold.mutex);
  hold.isReleased = false;
  pthread_mutex_unlock(&hold.mutex);
}

void releaseHold() {
  pthread_mutex_lock(&hold.mutex);
  hold.isReleased = true;
  pthread_cond_broadcast(&hold.released);
  pthread_mutex_unlock(&hold.mutex);
}

void waitForRelease() {
  pthread_mutex_lock(&hold.mutex);
  while (!hold.isReleased) pthread_cond_wait(&hold.released, &hold.mutex);
  pthread_mutex_unlock(&hold.mutex);
}

void startThinking(int ponderKind, int searchMode, int myTime, int movestogo, int myInc, int last) {
  if (engineOps.setTimeControl) engineOps.setTimeControl(searchMode, myTime, movestogo, myInc, last);
  tbhits = 0;

  // Nothing to search (a rejected position, or the game is over): no move,
  // and a ponder or infinite search still waits for its stop.
  if (!rootHasMoves) {
    if (ponderKind != 0) waitForRelease();
    uciPrint("bestmove 0000");
    return;
  }

  if (isOn(optionValue("OwnBook")) && ponderKind != 2) {
    Move move = probeBook(&book, &rootPosition, parseInt(optionValue("Book_selectivity")));
    if (moveFrom(move) != NO_SQUARE) {
      Move line[BEST_MOVE_WORDS];
      line[0] = move;
      for (int i = 1; i < BEST_MOVE_WORDS; i++) line[i] = NO_MOVE;
      setNodeCount(0);
      printPv(0, 0, 0, 0, 0, line, 0);
      // A ponder search answers only after "ponderhit" or "stop".
      if (ponderKind == 1) waitForRelease();
      printBestMove(move, NO_MOVE);
      return;
    }
  }

  // Multi-PV lines: no more than the root has moves (the module clamps the
  // same way, and the block of lines prints when its last line arrives).
  int lines = 1;
  if (ponderKind == 2) lines = clampInt(parseInt(optionValue("MultiPV")), 1, MAX_MULTI_PV);
  lines = std::max(1, std::min(lines, rootMoveCount.load()));
  multiPv = lines;
  moduleSearching = true;
  if (stopRequested && engineOps.stopSearch) engineOps.stopSearch();  // stopped before it began
  if (engineOps.runSearch) engineOps.runSearch(lines, ponderKind);
  moduleSearching = false;
  printUnfinishedLines();
  printBestMove(bestMove[0], bestMove[1]);
}
