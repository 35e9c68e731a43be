// Tablebase index speed: index computations per second over a seeded mix of
// three- to six-man positions of every table (both sides to move, e.p.
// positions included where the side has an e.p. block).
//
//   tb_index [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <random>
#include <vector>

#include "tablebases/descriptor.h"
#include "tablebases/enumerations.h"
#include "tablebases/index_plan.h"

namespace {

constexpr int POSITIONS_PER_SIDE = 64;
constexpr int KING_SLOT = 15;

struct Sample {
  TbIndexFn fn;
  int32_t first[16], second[16];
  int32_t ep;
  int men;
};

// Random placement of the table's men; kept when the index function accepts
// it (distinct squares, the men on squares their kinds may use).
bool randomSample(int id, int side, std::mt19937_64& rng, Sample* s) {
  const char* name = tbDescriptors[id].name;
  int32_t* sides[2] = {s->first, s->second};
  uint64_t used = 0;
  int colour = -1, count[2][5] = {};
  s->men = 0;
  auto place = [&](int low, int high) {
    for (;;) {
      const int q = low + static_cast<int>(rng() % uint64_t(high - low + 1));
      if (!(used >> q & 1)) {
        used |= uint64_t(1) << q;
        return q;
      }
    }
  };
  for (const char* p = name; *p; p++) {
    if (*p == 'k') {
      sides[++colour][KING_SLOT] = place(0, 63);
    } else {
      const int kind = static_cast<int>(strchr("pnbrq", *p) - "pnbrq");
      sides[colour][kind * 3 + count[colour][kind]++] = kind == 0 ? place(8, 55) : place(0, 63);
    }
    s->men++;
  }
  s->fn = tbDescriptors[id].indexFn[side];
  s->ep = 127;
  if (tbIndexPlans[id][side].hasEp && (rng() & 1)) {
    // Move the opponent's first pawn beside one of the mover's pawns as if it
    // had just made a double step.
    const int up = side == 0 ? 1 : -1, mover = side, other = 1 - side;
    const int capturer = sides[mover][0];
    const int file = (capturer & 7) + ((rng() & 1) ? 1 : -1);
    const int rank = side == 0 ? 4 : 3;
    if (file >= 0 && file <= 7) {
      sides[mover][0] = rank * 8 + (capturer & 7);
      sides[other][0] = rank * 8 + file;
      s->ep = (rank + up) * 8 + file;
    }
  }
  return s->fn(s->first, s->second, s->ep, 0) != TB_NO_INDEX;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  initEnumerations();
  std::mt19937_64 rng(12345);
  std::vector<Sample> samples[7];
  for (int id = 1; id <= TB_MAX_ID; id++)
    for (int side = 0; side < 2; side++)
      for (int n = 0, tries = 0; n < POSITIONS_PER_SIDE && tries < 100000; tries++) {
        Sample s;
        if (!randomSample(id, side, rng, &s)) continue;
        samples[s.men].push_back(s);
        n++;
      }
  uint64_t checksum = 0;
  std::vector<Sample> all;
  for (int men = 3; men <= 6; men++) {
    const std::vector<Sample>& set = samples[men];
    all.insert(all.end(), set.begin(), set.end());
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; r++)
      for (const Sample& s : set) checksum += s.fn(s.first, s.second, s.ep, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double calls = double(rounds) * set.size();
    std::printf("%d men: %7zu positions  %10.0f indices/s  (%.1f ns each)\n", men, set.size(), calls / seconds,
                1e9 * seconds / calls);
  }
  std::shuffle(all.begin(), all.end(), rng);
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; r++)
    for (const Sample& s : all) checksum += s.fn(s.first, s.second, s.ep, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double calls = double(rounds) * all.size();
  std::printf("mixed: %7zu positions  %10.0f indices/s  (%.1f ns each)   checksum %llx\n", all.size(),
              calls / seconds, 1e9 * seconds / calls, static_cast<unsigned long long>(checksum));
  return 0;
}
