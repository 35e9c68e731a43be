// Every line the program prints: the one print routine, error and check lines,
// the engine's report callbacks turned into info lines, the bestmove line and
// move texts.
#pragma once
#include <cstdint>

#include "engine/board/position.h"

// Formats one line, writes it with a newline in one write and flushes.
void uciPrint(const char *format, ...) __attribute__((format(printf, 1, 2)));
// "info string Error (%s): %s".
void reportError(const char *message, const char *detail);
// "info string Assert Failed: %s+%d\n", then the process ends with exit code 1.
[[noreturn]] void reportAssert(const char *sourceFile, int line);

// Coordinate text of a move, 4 or 5 characters plus terminator (out holds 6):
// promotions carry a lower-case letter (e7e8q, b7b8r); a move without squares
// (from- or to-square 12) is "0000". letter is the moving piece's letter
// (P or p for pawns), which tells a queen promotion.
void moveToText(char *out, Move move, char letter);

// Score shown to the GUI: contempt taken off every nonzero score strictly
// inside the mate bands.
int displayScore(int score, int contempt);
// "cp %d" or "mate %d" for a display score.
void scoreText(char *out, int size, int score);

// The report callbacks handed to the module.
void setNodeCount(int64_t nodes);
void printPv(int pvIndex, int depth, int score, int timeMs, int hashfull, const Move *pv, int flag);
void printCurrentMove(int depth, Move move, int flags, int extra);
// "bestmove %s" or "bestmove %s ponder %s"; the ponder move is printed only
// when it is legal after the best move.
// After a multi-PV search: prints the lines of an iteration that was stopped
// before its last line came (the first line's move is the bestmove), so the
// bestmove line always names a move of an info line.
void printUnfinishedLines();
void printBestMove(Move best, Move ponder);
// Clears the per-search report data (variation texts, root move list).
void resetReports();
