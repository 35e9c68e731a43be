// Tablebase probes per second through tbProbe on cached data: the tests'
// solver writes kqk, krk, kpk and kqkr as plain files, a seeded sample of
// their positions is probed over and over (every block cached after the
// first pass). Usage: tb_probe [millions of probes, default 20]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "tablebases/block_cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"
#include "tests/tb_probe_check.h"

namespace {

struct Sample {
  uint8_t board[TB_BOARD_SQUARES];
  int side;
};

}  // namespace

int main(int argc, char **argv) {
  const int64_t probes = (argc > 1 ? std::atoll(argv[1]) : 20) * 1000000;
  const std::vector<int> ids = {1, 4, 5, 19};  // kpk, krk, kqk, kqkr
  std::string dir = tbfiles::makeScratchDir();
  if (dir.empty() || !tbwriter::writeSolvedTables(dir, false, ids)) return 1;
  initTablebases(dir.c_str());
  std::vector<uint8_t> cache(64u << 20);
  setTablebaseCache(cache.data(), cache.size());

  std::mt19937 random(12345);
  std::vector<Sample> samples;
  for (int id : ids) {
    const std::string name = tbDescriptors[id].name;
    const size_t second = name.find('k', 1);
    tbwriter::forEachSolvedPosition(name, [&](const int *w, const int *b, bool whiteToMove, int) {
      if (random() % 64) return;
      Sample s;
      for (uint8_t &c : s.board) c = tbcheck::EMPTY_CODE;
      s.board[w[0]] = tbcheck::WHITE_KING_CODE;
      s.board[b[0]] = tbcheck::BLACK_KING_CODE;
      for (size_t i = 1; i < second; i++) s.board[w[i]] = tbcheck::codeOf(name[i], true);
      for (size_t i = second + 1; i < name.size(); i++) s.board[b[i - second]] = tbcheck::codeOf(name[i], false);
      s.side = whiteToMove ? 1 : 0;
      samples.push_back(s);
    });
  }
  std::shuffle(samples.begin(), samples.end(), random);

  int64_t hits = 0, sum = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int64_t i = 0; i < probes; i++) {
    const Sample &s = samples[static_cast<size_t>(i) % samples.size()];
    int score = 0;
    hits += tbProbe(s.board, s.side, 0, &score);
    sum += score;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu positions of kpk, krk, kqk, kqkr; %lld probes, %lld hits (score sum %lld)\n", samples.size(),
              (long long)probes, (long long)hits, (long long)sum);
  std::printf("tbProbe: %.1f M probes/s (%.0f ns a probe)\n", probes / seconds / 1e6, seconds * 1e9 / probes);
  initTablebases(nullptr);
  tbfiles::removeScratchDir(dir);
  return 0;
}
