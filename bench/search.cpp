// Fixed-depth single-thread search over a fixed set of positions: prints the
// nodes of each position, the total (the search signature), time and speed.
// Usage: search [depth] [--threads N] [--fen FEN]...   (default depth 9; without
// --threads no helper threads are started, with it N search threads share the
// work; each --fen replaces the fixed set by the positions given)
#include "engine/search/search.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/eval/prepare.h"
#include "engine/eval/settings.h"
#include "engine/search/hash.h"
#include "engine/search/parallel.h"
#include "engine/search/root/driver.h"
#include "engine/search/search_move.h"
#include "engine/smp/split.h"
#include "engine/smp/threads.h"
#include "engine/smp/wait_stats.h"

namespace {

const char *const positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq d3",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "6k1/5p2/6p1/8/7P/8/5PK1/8 w - -",
    "8/8/4k3/8/2p5/8/B2K4/8 w - -",
    "8/5pk1/6p1/8/8/1R6/5PPP/6K1 w - -",
};

// The driver's root set-up, without its timer and reports.
int64_t searchPosition(const char *fen, int depth, int *score, Move *best) {
  if (parseFen(fen) != 0 || setupPosition(&rootPosition, &gameRecord) != 0) {
    std::fprintf(stderr, "bad FEN %s\n", fen);
    std::exit(1);
  }
  Position *root = &rootPosition;
  Board *board = root->pg;
  board->engineSide = root->side;
  clearHash(&hashTable);
  board->nodeCount = 0;
  helperNodeCount.store(0);
  root->childKillers[1] = NO_MOVE;
  prepareSearchRoot(root);
  newSearchGeneration(&hashTable, 1);
  root->threatKind = 0;
  searchNullMove(root, -9999, 0);
  root->futilityGap = -9999;
  lastScore = -9999;
  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move lines[2] = {NO_MOVE, NO_MOVE};
  Move pv[PV_LENGTH] = {NO_MOVE};
  int s = -9999;
  for (int d = 2; d <= depth; d++) {
    currentDepth = d;
    pvCount = 0;
    s = search(root, d, MATE_SCORE, -9999, killers, pv, &lines[0]);
    lastScore = s;
    resetPicker(root);
  }
  unmarkHistoryInHash(&hashTable);
  *score = s;
  *best = pv[0];
  return searchNodeCount();
}

}  // namespace

int main(int argc, char **argv) {
  int depth = 9, threads = 0;
  std::vector<const char *> fens;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
      threads = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--fen") == 0 && i + 1 < argc)
      fens.push_back(argv[++i]);
    else
      depth = std::atoi(argv[i]);
  }
  if (depth < 2) depth = 2;
  initEngineTables(64u << 20);
  activeSettings = initialSettings;
  if (threads > 0) {
    startThreads(threads);
    std::printf("threads %d (helpers %d)\n", threadCount, helperCount);
  }
  int64_t total = 0;
  if (smpStatsEnabled && threads > 0) statsStartSampler(100);
  auto start = std::chrono::steady_clock::now();
  if (fens.empty()) fens.assign(std::begin(positions), std::end(positions));
  for (const char *fen : fens) {
    int score;
    Move best;
    int64_t n = searchPosition(fen, depth, &score, &best);
    total += n;
    std::printf("%12lld  score %6d  best %c%c%c%c  %s\n", (long long)n, score, 'a' + (moveFrom(best) & 7),
                '1' + (moveFrom(best) >> 4), 'a' + (realTo(best) & 7), '1' + (realTo(best) >> 4), fen);
  }
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("depth %d  nodes %lld  time %.3f s  nps %.0f\n", depth, (long long)total, secs,
              secs > 0 ? total / secs : 0.0);
  if (smpStatsEnabled && threads > 0) {
    statsStopSampler();
    std::printf("threads on average:");
    for (int k = 0; k < WAIT_KIND_COUNT; k++)
      std::printf("  %s %.2f", waitKindName((WaitKind)k), statsAverageThreads((WaitKind)k));
    std::printf("  (free units of semaphoreA %.2f, %.2f of them while no splitter waited)\n", statsAverageFreeUnits(),
                statsAverageUnusedUnits());
    // Thread-seconds outside the search, against threadCount x wall time.
    std::printf("waits (thread-seconds of %.3f):", secs * threadCount);
    for (int k = 0; k < WAIT_KIND_COUNT; k++)
      std::printf("  %s %.3f/%lld", waitKindName((WaitKind)k), statsTotalNs((WaitKind)k) * 1e-9,
                  (long long)statsTotalCount((WaitKind)k));
    std::printf("\n");
    // Small jobs cost a hand-over and a wake-up each for little search.
    std::printf("jobs by nodes searched (count, average microseconds):");
    for (int c = 0; c < JOB_SIZE_CLASSES; c++) {
      const int64_t n = statsJobCount(c);
      std::printf("  %s: %lld, %.1f", jobSizeName(c), (long long)n, n ? statsJobNs(c) * 1e-3 / n : 0.0);
    }
    std::printf("\n");
  }
  return 0;
}
