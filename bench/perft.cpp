// perft: legal-move counts from a FEN to a depth, with nodes per second; the
// move generator's benchmark and correctness oracle.
//   perft [--divide] [--picker] "FEN" depth
//   perft --suite [--picker] [--shallow]     the standard positions, checked
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/perft_walk.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legal_moves.h"

namespace {

struct SuiteEntry {
  const char *fen;
  int depth;
  uint64_t nodes;
  int shallowDepth;
  uint64_t shallowNodes;
};

const SuiteEntry kSuite[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 6, 119060324ULL, 4, 197281ULL},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 5, 193690690ULL, 3, 97862ULL},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 6, 11030083ULL, 5, 674624ULL},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", 5, 15833292ULL, 4, 422333ULL},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", 4, 2103487ULL, 3, 62379ULL},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -", 5, 164075551ULL, 4, 3894594ULL},
};

perft::Stack stack;

double seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

uint64_t count(Position *pos, int depth, bool picker) {
  if (depth <= 0) return 1;
  if (picker) return perft::countPicker(pos, depth, perft::PickerOptions{true, true, true});
  return perftCount(pos, depth);
}

char squareFile(int sq) { return (char)('a' + (sq & 7)); }
char squareRank(int sq) { return (char)('1' + (sq >> 4)); }

void printMove(Move m) {
  int from = moveFrom(m), to = realTo(m);
  int toByte = moveToByte(m);
  char promo = 0;
  if ((int16_t)m < 0) {
    int band = toByte & 0xF0;
    promo = (band == 0x80 || band == 0xF0) ? 'r' : (band == 0x90 || band == 0xE0) ? 'b' : 'n';
  }
  printf("%c%c%c%c", squareFile(from), squareRank(from), squareFile(to), squareRank(to));
  if (promo) printf("%c", promo);
}

uint64_t divide(Position *pos, int depth, bool picker) {
  Position *child = pos + 1;
  int n = generateAll(pos);
  Move moves[MOVE_LIST_SIZE];
  memcpy(moves, pos->moveList, n * sizeof(Move));
  uint64_t total = 0;
  for (int i = 0; i < n; i++) {
    if (!makeLegal(pos, moves[i], child)) continue;
    uint64_t c = count(child, depth - 1, picker);
    printMove(moves[i]);
    printf(": %llu\n", (unsigned long long)c);
    total += c;
    unmakeMove(child);
  }
  return total;
}

int runSuite(bool picker, bool shallow) {
  int failures = 0;
  double allTime = 0;
  uint64_t allNodes = 0;
  for (const SuiteEntry &e : kSuite) {
    if (!perft::setUp(&stack, e.fen)) {
      printf("rejected FEN: %s\n", e.fen);
      failures++;
      continue;
    }
    int depth = shallow ? e.shallowDepth : e.depth;
    uint64_t expect = shallow ? e.shallowNodes : e.nodes;
    double t0 = seconds();
    uint64_t got = count(&stack.ply[0], depth, picker);
    double dt = seconds() - t0;
    allTime += dt;
    allNodes += got;
    bool ok = got == expect;
    failures += !ok;
    printf("%-4s depth %d  %12llu (expected %12llu)  %7.2f s  %6.2f Mnps  %s\n", ok ? "ok" : "FAIL", depth,
           (unsigned long long)got, (unsigned long long)expect, dt, dt > 0 ? got / dt / 1e6 : 0.0, e.fen);
  }
  printf("%s: %d failure(s), %llu nodes in %.2f s, %.2f Mnps\n", picker ? "picker" : "generators", failures,
         (unsigned long long)allNodes, allTime, allTime > 0 ? allNodes / allTime / 1e6 : 0.0);
  return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
  bool divideFlag = false, picker = false, suite = false, shallow = false;
  const char *fen = nullptr;
  int depth = -1;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--divide")) divideFlag = true;
    else if (!strcmp(argv[i], "--picker")) picker = true;
    else if (!strcmp(argv[i], "--suite")) suite = true;
    else if (!strcmp(argv[i], "--shallow")) shallow = true;
    else if (!fen) fen = argv[i];
    else depth = atoi(argv[i]);
  }
  if (suite) return runSuite(picker, shallow);
  if (!fen || depth < 0 || depth > MAX_PLY) {
    fprintf(stderr, "usage: perft [--divide] [--picker] \"FEN\" depth | perft --suite [--picker] [--shallow]\n");
    return 2;
  }
  if (!perft::setUp(&stack, fen)) {
    fprintf(stderr, "rejected FEN\n");
    return 2;
  }
  double t0 = seconds();
  uint64_t nodes = divideFlag && depth > 0 ? divide(&stack.ply[0], depth, picker) : count(&stack.ply[0], depth, picker);
  double dt = seconds() - t0;
  printf("nodes %llu\ntime %.3f s\nnps %.0f\n", (unsigned long long)nodes, dt, dt > 0 ? nodes / dt : 0.0);
  return 0;
}
