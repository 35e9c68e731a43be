// Tablebase reading speed: decoded MB/s of the block decoder (in memory, and
// through the file reader), and cached-entry reads per second through the
// block cache, on a synthetic compressed side written by the test encoder.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tablebases/block_cache.h"
#include "tablebases/block_decoder.h"
#include "tablebases/compressed_file.h"
#include "tablebases/descriptor.h"
#include "tablebases/registry.h"
#include "tests/tb_encoder.h"

namespace {

constexpr int BENCH_TABLE = 2;  // knk: its side 0 length is set to the synthetic size

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Values like a table's: long runs of a few small values with scattered others.
std::vector<uint8_t> syntheticTable(size_t n) {
  std::mt19937 rng(1);
  std::vector<uint8_t> b;
  while (b.size() < n) {
    const uint8_t v = static_cast<uint8_t>(rng() % 8 == 0 ? rng() % 256 : rng() % 6);
    b.insert(b.end(), 1 + rng() % 24, v);
  }
  b.resize(n);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t bytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 16) << 20;
  const long reads = argc > 2 ? std::atol(argv[2]) : 20000000;
  char pattern[] = "/tmp/tessel_tb_bench_XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string dir = pattern, path = dir + "/knk.nbw.emd";

  const std::vector<uint8_t> table = syntheticTable(bytes);
  const std::vector<uint8_t> file = tbencoder::encode(table);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size()) return 1;
  std::fclose(f);
  std::printf("table %zu bytes, compressed file %zu bytes (%.1f%%)\n", table.size(), file.size(),
              100.0 * file.size() / table.size());

  // Block decoder over in-memory streams.
  f = std::fopen(path.c_str(), "rb");
  CompressedFile* cf = nullptr;
  if (openCompressedFile(f, &cf) != 0) return 1;
  std::vector<uint8_t> out(TB_CACHE_DATA_BYTES);
  double seconds = 0;
  size_t decoded = 0;
  for (int pass = 0; pass < 3; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    for (int32_t b = 0; b < cf->blockCount; ++b) {
      const int64_t at = compressedBlockOffset(*cf, b);
      const int32_t size = static_cast<int32_t>(compressedBlockOffset(*cf, b + 1) - at);
      const int32_t want = compressedBlockDecodedSize(*cf, b);
      if (size == want) continue;  // raw blocks are copies, not decoding
      if (expandBlock(*cf, file.data() + at, size, out.data(), want) != 0) return 1;
      decoded += want;
    }
    seconds += secondsSince(start);
  }
  std::printf("expandBlock:                 %8.1f MB/s decoded\n", decoded / seconds / 1e6);

  // The file path: seek, read and expand each block.
  DecodeBlock* record = nullptr;
  if (allocDecodeBlock(TB_DECODE_BLOCK_SIZE, &record) != 0) return 1;
  const auto start = std::chrono::steady_clock::now();
  for (int32_t b = 0; b < cf->blockCount; ++b) {
    initDecodeBlock(record, out.data());
    if (readCompressedBlock(record, cf, f, b) != 0 ||
        decodeBlock(record, cf, record->decodedSize) != 0)
      return 1;
  }
  std::printf("read + decode from the file: %8.1f MB/s decoded\n", bytes / secondsSince(start) / 1e6);
  freeDecodeBlock(record);
  freeCompressedFile(cf);
  std::fclose(f);

  // Cached entries: every block held, random entries read.
  tbDescriptors[BENCH_TABLE].length[0] = static_cast<int64_t>(bytes);
  initTablebases(dir.c_str());
  const size_t cacheBytes = (bytes / TB_CACHE_BLOCK_BYTES + 2) * TB_CACHE_UNIT_BYTES;
  std::vector<uint8_t> buffer(cacheBytes);
  setTablebaseCache(buffer.data(), cacheBytes);
  const int64_t blocks = static_cast<int64_t>((bytes + TB_CACHE_BLOCK_BYTES - 1) / TB_CACHE_BLOCK_BYTES);
  for (int64_t b = 0; b < blocks; ++b) readCachedValue(BENCH_TABLE, 0, b, 0);
  // Over the whole side (bucket chains of blocks / 32), then over 32 hot blocks.
  long wrong = 0;
  for (const uint64_t span : {static_cast<uint64_t>(bytes), uint64_t{32} * TB_CACHE_BLOCK_BYTES}) {
    std::mt19937_64 rng(2);
    long sum = 0;
    const auto readStart = std::chrono::steady_clock::now();
    for (long i = 0; i < reads; ++i) {
      const uint64_t entry = rng() % span;
      const int32_t v = readCachedValue(BENCH_TABLE, 0, static_cast<int64_t>(entry >> 13),
                                        static_cast<int32_t>(entry & 8191));
      sum += v;
      wrong += v != static_cast<int8_t>(table[entry]);
    }
    const double readSeconds = secondsSince(readStart);
    std::printf("cached entry reads:          %8.2f M reads/s over %llu blocks (sum %ld)\n",
                reads / readSeconds / 1e6,
                static_cast<unsigned long long>(span / TB_CACHE_BLOCK_BYTES), sum);
  }
  std::printf("wrong values: %ld\n", wrong);
  initTablebases(nullptr);
  std::remove(path.c_str());
  rmdir(dir.c_str());
  return wrong == 0 ? 0 : 1;
}
