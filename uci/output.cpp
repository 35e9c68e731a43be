#include "uci/output.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/board/game/game.h"
#include "uci/legal.h"
#include "uci/state.h"

namespace {

constexpr int LINE_BUFFER = 2048;
constexpr int PV_TEXT_SIZE = 500;
constexpr int CURR_MOVE_LIST = 256;

pthread_mutex_t printMutex = PTHREAD_MUTEX_INITIALIZER;
// Serialises the reports and the bestmove line, which share the scratch pair.
pthread_mutex_t reportMutex = PTHREAD_MUTEX_INITIALIZER;

std::atomic<int64_t> reportedNodes{0};
char pvText[MAX_MULTI_PV][PV_TEXT_SIZE];
int lineScore[MAX_MULTI_PV];
// Multi-PV: the lines reported since the last printed block, and the last
// report's header figures.
bool lineReported[MAX_MULTI_PV];
struct BlockHeader {
  int depth;
  int64_t nodes;
  long long nps;
  int timeMs;
  int hashfull;
} lastHeader;
Move currMoveList[CURR_MOVE_LIST];
int currMoveCount = 0;
Board scratchBoard;
Position scratchPos;

void writeLine(const char *text, size_t length) {
  pthread_mutex_lock(&printMutex);
  fwrite(text, 1, length, stdout);
  fflush(stdout);
  pthread_mutex_unlock(&printMutex);
}

// Copies the game copy's root into the scratch pair (reportMutex held).
void scratchFromRoot() { copyScratch(&scratchBoard, &scratchPos, &gameBoard, &rootPosition); }

void appendMoveText(char *text, size_t size, Move move, char letter) {
  char mv[6];
  moveToText(mv, move, letter);
  size_t used = strlen(text);
  if (used + 1 + strlen(mv) + 1 > size) return;
  text[used] = ' ';
  strcpy(text + used + 1, mv);
}

// The multi-PV block: a header line, then lines 1..count (reportMutex held).
void printBlock(int count, const BlockHeader &h) {
  uciPrint("info depth %d nodes %lld nps %lld tbhits %ld time %d hashfull %d", h.depth, (long long)h.nodes, h.nps,
           (long)tbhits, h.timeMs, h.hashfull);
  char sc[32];
  for (int i = 0; i < count && i < MAX_MULTI_PV; i++) {
    scoreText(sc, sizeof sc, lineScore[i]);
    uciPrint("info score %s multipv %d pv %s", sc, i + 1, pvText[i]);
  }
  for (bool &r : lineReported) r = false;
}

}  // namespace

void uciPrint(const char *format, ...) {
  char buffer[LINE_BUFFER];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  if (n < 0) return;
  if (n < (int)sizeof buffer - 1) {
    buffer[n] = '\n';
    writeLine(buffer, (size_t)n + 1);
    return;
  }
  // A long line (an error line quoting a long command): format it whole.
  char *big = (char *)malloc((size_t)n + 2);
  if (!big) {
    buffer[sizeof buffer - 2] = '\n';
    writeLine(buffer, sizeof buffer - 1);
    return;
  }
  va_start(args, format);
  vsnprintf(big, (size_t)n + 1, format, args);
  va_end(args);
  big[n] = '\n';
  writeLine(big, (size_t)n + 1);
  free(big);
}

void reportError(const char *message, const char *detail) {
  uciPrint("info string Error (%s): %s", message ? message : "", detail ? detail : "");
}

void reportAssert(const char *sourceFile, int line) {
  uciPrint("info string Assert Failed: %s+%d\n", sourceFile, line);
  _exit(1);
}

void moveToText(char *out, Move move, char letter) {
  int from = moveFrom(move);
  int toByte = (int8_t)moveToByte(move);
  int to = realTo(move);
  if (from == NO_SQUARE || to == NO_SQUARE || !onBoard(from) || !onBoard(to)) {
    strcpy(out, "0000");
    return;
  }
  out[0] = (char)('a' + fileOf(from));
  out[1] = (char)('1' + rankOf(from));
  out[2] = (char)('a' + fileOf(to));
  out[3] = (char)('1' + rankOf(to));
  int n = 4;
  if (toByte < 0) {
    int b = toByte & 0xFF;
    if ((b >= 0x80 && b <= 0x8F) || b >= 0xF0)
      out[n++] = 'r';
    else if ((b >= 0x90 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF))
      out[n++] = 'b';
    else
      out[n++] = 'n';
  } else if ((letter == 'P' && to >= 0x70) || (letter == 'p' && to < 0x10)) {
    out[n++] = 'q';
  }
  out[n] = 0;
}

int displayScore(int score, int contempt) {
  if (score != 0 && score >= -8999 && score <= 8999) return score - contempt;
  return score;
}

void scoreText(char *out, int size, int s) {
  if (s >= 9000)
    snprintf(out, size, "mate %d", (9999 - s) / 2);
  else if (s <= -9000)
    snprintf(out, size, "mate %d", (-9999 - s) / 2);
  else
    snprintf(out, size, "cp %d", s);
}

void setNodeCount(int64_t nodes) { reportedNodes = nodes; }

void resetReports() {
  pthread_mutex_lock(&reportMutex);
  for (int i = 0; i < MAX_MULTI_PV; i++) {
    pvText[i][0] = 0;
    lineScore[i] = 0;
    lineReported[i] = false;
  }
  currMoveCount = 0;
  pthread_mutex_unlock(&reportMutex);
}

void printPv(int pvIndex, int depth, int score, int timeMs, int hashfull, const Move *pv, int) {
  if (!pv || pvIndex < 0 || pvIndex >= MAX_MULTI_PV) return;
  pthread_mutex_lock(&reportMutex);
  scratchFromRoot();
  score = displayScore(score, engineSettings.contempt);

  // Only the legal prefix of the variation is kept and shown.
  char text[PV_TEXT_SIZE];
  text[0] = 0;
  int kept = 0;
  for (int i = 0; i < BEST_MOVE_WORDS; i++) {
    if (moveFrom(pv[i]) == NO_SQUARE || !isLegalMove(&scratchPos, pv[i])) break;
    appendMoveText(text, sizeof text, pv[i], pieceLetterAt(&scratchPos, moveFrom(pv[i])));
    playOnScratch(&scratchPos, pv[i]);
    kept++;
  }
  // The bestmove line plays the first line's move, whichever line came last.
  if (pvIndex == 0)
    for (int i = 0; i < BEST_MOVE_WORDS; i++) bestMove[i] = i < kept ? pv[i] : NO_MOVE;

  int64_t nodes = reportedNodes;
  long long nps = timeMs > 0 ? (long long)(nodes * 1000 / timeMs) : 0;
  if (hashfull > 1000) hashfull = 1000;
  memcpy(pvText[pvIndex], text, sizeof text);
  lineScore[pvIndex] = score;
  lineReported[pvIndex] = true;
  lastHeader = {depth, nodes, nps, timeMs, hashfull};

  int lines = multiPv;
  if (lines <= 1) {
    char sc[32];
    scoreText(sc, sizeof sc, lineScore[0]);
    uciPrint("info score %s depth %d nodes %lld nps %lld tbhits %ld time %d hashfull %d pv %s", sc, depth,
             (long long)nodes, nps, (long)tbhits, timeMs, hashfull, pvText[0]);
  } else if (lines == pvIndex + 1) {
    printBlock(lines, lastHeader);
  }
  pthread_mutex_unlock(&reportMutex);
}

void printUnfinishedLines() {
  pthread_mutex_lock(&reportMutex);
  if (multiPv > 1) {
    int count = 0;
    while (count < MAX_MULTI_PV && lineReported[count]) count++;
    if (count > 0) printBlock(count, lastHeader);
  }
  pthread_mutex_unlock(&reportMutex);
}

void printCurrentMove(int depth, Move move, int flags, int) {
  pthread_mutex_lock(&reportMutex);
  if ((moveToByte(move) & 0xFF) == NO_SQUARE) {
    currMoveCount = 0;
    uciPrint("info depth %d nodes %lld", depth, (long long)reportedNodes.load());
    pthread_mutex_unlock(&reportMutex);
    return;
  }
  if (!(flags & 0x80)) {
    bool seen = false;
    for (int i = 0; i < currMoveCount; i++)
      if (currMoveList[i] == move) seen = true;
    if (seen) {
      currMoveList[0] = move;
      currMoveCount = 1;
    } else if (currMoveCount < CURR_MOVE_LIST) {
      currMoveList[currMoveCount++] = move;
    } else {
      currMoveCount++;  // counted, not remembered
    }
  }
  char letter = (char)((flags >> 8) & 0xFF);
  if (letter == 'Q') letter = 'P';
  if (letter == 'q') letter = 'p';
  char mv[6];
  moveToText(mv, move, letter);
  uciPrint("info currmove %s currmovenumber %d", mv, currMoveCount);
  pthread_mutex_unlock(&reportMutex);
}

void printBestMove(Move best, Move ponder) {
  pthread_mutex_lock(&reportMutex);
  scratchFromRoot();
  if (moveFrom(best) == NO_SQUARE || !isLegalMove(&scratchPos, best)) {
    // The GUI always gets a legal move: the first legal one, or none at all.
    Move list[MAX_LEGAL_MOVES];
    int n = legalMoves(&scratchPos, list, MAX_LEGAL_MOVES);
    best = n > 0 ? list[0] : NO_MOVE;
    ponder = NO_MOVE;
  }
  if (best == NO_MOVE) {
    pthread_mutex_unlock(&reportMutex);
    uciPrint("bestmove 0000");
    return;
  }
  char text1[6], text2[6];
  moveToText(text1, best, pieceLetterAt(&scratchPos, moveFrom(best)));
  bool withPonder = false;
  if (moveFrom(ponder) != NO_SQUARE) {
    playOnScratch(&scratchPos, best);
    if (isLegalMove(&scratchPos, ponder)) {
      moveToText(text2, ponder, pieceLetterAt(&scratchPos, moveFrom(ponder)));
      withPonder = true;
    }
  }
  pthread_mutex_unlock(&reportMutex);
  if (withPonder)
    uciPrint("bestmove %s ponder %s", text1, text2);
  else
    uciPrint("bestmove %s", text1);
}
