// Solving speed of the tests' retrograde endgame solver: time per endgame
// (each smaller endgame it needs is solved, and timed, first).
#include <chrono>
#include <cstdio>

#include "tests/tb_solver.h"

int main(int argc, char **argv) {
  const char *defaults[] = {"kqk", "krk", "kpk", "kbbk", "kbnk", "kqkr"};
  int count = argc > 1 ? argc - 1 : (int)(sizeof defaults / sizeof defaults[0]);
  for (int k = 0; k < count; k++) {
    const char *signature = argc > 1 ? argv[k + 1] : defaults[k];
    auto start = std::chrono::steady_clock::now();
    const SolverTable *t = solveTable(signature);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!t) {
      std::printf("%-6s not a signature the solver takes\n", signature);
      return 1;
    }
    std::printf("%-6s solved in %6.2f s\n", signature, s);
  }
  return 0;
}
