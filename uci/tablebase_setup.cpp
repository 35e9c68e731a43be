#include "uci/tablebase_setup.h"

#include <cstdint>
#include <cstdlib>

#include "tablebases/block_cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"
#include "uci/numbers.h"
#include "uci/options.h"

namespace {

constexpr int MB_SHIFT = 20;
void *cacheBuffer = nullptr;  // the block cache's buffer, owned here

}  // namespace

int setUpTablebases() {
  if (!isOn(optionValue("Use_tablebases"))) return 0;
  int men = initTablebases(optionValue("NalimovPath"));
  int64_t megabytes = parseInt(optionValue("NalimovCache"));
  uint64_t bytes = megabytes > 0 ? (uint64_t)megabytes << MB_SHIFT : 0;
  // A failed allocation passes null: the cache treats it as no cache.
  void *buffer = bytes ? malloc(bytes) : nullptr;
  setTablebaseCache(buffer, buffer ? bytes : 0);
  free(cacheBuffer);  // no block points into it any more
  cacheBuffer = buffer;
  return men;
}

int probeTablebaseCallback(const ProbeBoard *board, int side, int epSquare, int *score) {
  return tbProbe(board->square, side, epSquare, score);
}
