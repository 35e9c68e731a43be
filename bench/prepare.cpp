// Preparation speed: repeated preparations (reset 0, as the search runs them
// after captures) of a few middlegame and endgame positions.
#include "engine/eval/prepare.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/search/hash.h"

int main(int argc, char **argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
  const char *fens[] = {
      nullptr,
      "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ -",
      "r4rk1/pp1n1ppp/8/3p4/3P4/8/PP1N1PPP/R4RK1 b - -",
      "8/5k2/3p4/2pP4/2P5/5K2/8/8 w - -",
      "2r3k1/pp3ppp/8/8/8/8/PP3PPP/2R3K1 w - -",
  };
  initEngineCore();
  for (const char *fen : fens) {
    if (parseFen(fen) != 0 || setupPosition(&rootPosition, &gameRecord) != 0) return 1;
    rootPosition.pg = &gameBoard;
    prepare(&rootPosition, 1);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; i++) prepare(&rootPosition, 0);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-70s %8.0f preparations/s  (%.2f us each)\n", fen ? fen : "start position", rounds / s,
                1e6 * s / rounds);
  }
  return 0;
}
