// The tablebase block cache: sizes, exact LRU replacement, 8-bit, 16-bit and
// split units, short and failing reads, dropped extents, compressed extents
// and a plain file beyond 4 GB.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tablebases/block_cache.h"
#include "tablebases/block_decoder.h"
#include "tablebases/descriptor.h"
#include "tablebases/registry.h"
#include "tests/tb_encoder.h"
#include "tests/tb_test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int KPK = 1, KNK = 2, KQQK = 35, KBNKNN = 147, KRNKNN = 151, KQQPKQ = 440;
constexpr unsigned CHILD_DEADLINE_SECONDS = 10;  // a read that hangs fails by then

class TbCacheTest : public ::testing::Test {
 protected:
  std::string dir;
  Bytes buffer;
  tbfiles::SavedLengths saved;

  void SetUp() override {
    dir = tbfiles::makeScratchDir();
    ASSERT_FALSE(dir.empty());
    saved.save();
  }
  void TearDown() override {
    initTablebases(nullptr);
    saved.restore();
    tbfiles::removeScratchDir(dir);
  }
  std::string path(const char* name) const { return dir + "/" + name; }
  void write(const char* name, const Bytes& bytes) {
    ASSERT_TRUE(tbfiles::writeFile(path(name), bytes));
  }
  int useCache(size_t bytes) {
    buffer.assign(bytes, 0);
    return setTablebaseCache(buffer.data(), bytes);
  }
  int freeBlocks() const {
    int n = 0;
    for (CacheBlock* b = tbCacheFree; b; b = b->lruNext) ++n;
    return n;
  }
  bool cached(int id, int side, int block) const {
    for (CacheBlock* b = tbDescriptors[id].cacheBuckets[side][block & 31]; b; b = b->bucketNext)
      if (b->block == block) return true;
    return false;
  }
  // Reads kpk's white block 0 in a child that must answer before a deadline,
  // and writes the value, whether the white extent is still registered and
  // whether black's block 0 is still cached on the checked stream.
  void readKpkBeforeDeadline() const {
    alarm(CHILD_DEADLINE_SECONDS);
    const int32_t value = readCachedValue(KPK, 0, 0, 3);
    std::fprintf(stderr, "value %d registered %d black cached %d\n", static_cast<int>(value),
                 tbDescriptors[KPK].fileName[0][0] != nullptr, cached(KPK, 1, 0));
    std::exit(0);
  }
};

int32_t signedByte(uint8_t b) { return static_cast<int8_t>(b); }

}  // namespace

TEST_F(TbCacheTest, BufferSizesGiveBlockCounts) {
  struct Case { size_t bytes; int result; int count; };
  const Case cases[] = {{1048576, 1, 126}, {8284, 1, 1}, {8283, 0, 0}, {56, 0, 0},
                        {55, 0, 0},        {3 * 8284 + 8283, 1, 3}};
  for (const Case& c : cases) {
    EXPECT_EQ(useCache(c.bytes), c.result) << c.bytes;
    EXPECT_EQ(tbCacheCount, c.count) << c.bytes;
    EXPECT_EQ(freeBlocks(), c.count) << c.bytes;
    EXPECT_EQ(tbCacheMru, nullptr);
  }
  EXPECT_EQ(setTablebaseCache(nullptr, 1048576), 0);  // a failed allocation: no cache
  EXPECT_EQ(tbCacheCount, 0);
  EXPECT_EQ(tbCacheFree, nullptr);
  // Free blocks are linked in buffer order, header i with data area i.
  useCache(4 * 8284);
  CacheBlock* first = reinterpret_cast<CacheBlock*>(buffer.data());
  int i = 0;
  for (CacheBlock* b = tbCacheFree; b; b = b->lruNext, ++i) {
    EXPECT_EQ(b, first + i);
    EXPECT_EQ(b->data, buffer.data() + 4 * sizeof(CacheBlock) + i * 8228);
  }
}

TEST_F(TbCacheTest, OneBlockCacheEvictsOnEachAlternateRead) {
  const Bytes w = tbfiles::patternBytes(81664, 1), b = tbfiles::patternBytes(84012, 2);
  write("kpk.nbw", w);
  write("kpk.nbb", b);
  ASSERT_EQ(initTablebases(dir.c_str()), 3);
  ASSERT_EQ(useCache(8284), 1);
  // Entries 8191 and 8192 of the 8-bit side lie on either side of the block edge.
  EXPECT_EQ(readCachedValue(KPK, 0, 0, 8191), signedByte(w[8191]));
  EXPECT_EQ(readCachedValue(KPK, 0, 1, 0), signedByte(w[8192]));
  std::mt19937 rng(4);
  for (int i = 0; i < 20; ++i) {
    const int block = i % 2, offset = static_cast<int>(rng() % 8192);
    ASSERT_EQ(readCachedValue(KPK, 0, block, offset), signedByte(w[block * 8192 + offset]));
    EXPECT_TRUE(cached(KPK, 0, block));
    EXPECT_FALSE(cached(KPK, 0, 1 - block));
  }
  EXPECT_EQ(readCachedValue(KPK, 1, 10, 20), signedByte(b[10 * 8192 + 20]));
  EXPECT_FALSE(cached(KPK, 0, 1));
  // The last block is short: 81,664 = 9 * 8192 + 7936.
  EXPECT_EQ(readCachedValue(KPK, 0, 9, 7935), signedByte(w[81663]));
  EXPECT_EQ(readCachedValue(KPK, 0, 9, 7936), TB_VALUE_UNKNOWN);
  EXPECT_EQ(readCachedValue(KPK, 0, 10, 0), TB_VALUE_UNKNOWN);  // beyond the side
  EXPECT_EQ(readCachedValue(KPK, 0, 9, 0), signedByte(w[9 * 8192]));
  EXPECT_NE(tbDescriptors[KPK].fileName[0][0], nullptr);  // nothing dropped
}

TEST_F(TbCacheTest, ReplacementIsExactLeastRecentlyUsed) {
  const Bytes w = tbfiles::patternBytes(81664, 3);
  write("kpk.nbw", w);
  initTablebases(dir.c_str());
  ASSERT_EQ(useCache(3 * 8284), 1);
  for (int block : {0, 1, 2}) readCachedValue(KPK, 0, block, 0);
  readCachedValue(KPK, 0, 0, 1);  // 0 becomes the most recent; 1 is now the oldest
  EXPECT_EQ(readCachedValue(KPK, 0, 3, 5), signedByte(w[3 * 8192 + 5]));
  EXPECT_FALSE(cached(KPK, 0, 1));
  EXPECT_TRUE(cached(KPK, 0, 0) && cached(KPK, 0, 2) && cached(KPK, 0, 3));
  readCachedValue(KPK, 0, 4, 0);
  EXPECT_FALSE(cached(KPK, 0, 2));
  EXPECT_EQ(tbCacheMru->block, 4);
  EXPECT_EQ(tbCacheLru->block, 0);
}

TEST_F(TbCacheTest, SixteenBitPairsAcrossTheBlockEdge) {
  tbDescriptors[KRNKNN].length[0] = 6000;  // a short 16-bit side: 12,000 bytes
  Bytes file(12000);
  for (int i = 0; i < 6000; ++i) {
    const int16_t v = static_cast<int16_t>(i * 37 - 30000);
    file[2 * i] = static_cast<uint8_t>(v & 0xFF);
    file[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
  write("krnknn.nbw", file);
  ASSERT_EQ(initTablebases(dir.c_str()), 6);
  ASSERT_EQ(useCache(8284), 1);
  for (int entry : {0, 4095, 4096, 5999}) {
    const int block = entry >> 12, at = 2 * (entry & 4095);
    const int32_t lo = readCachedValue(KRNKNN, 0, block, at);
    const int32_t hi = readCachedValue(KRNKNN, 0, block, at + 1);
    ASSERT_NE(lo, TB_VALUE_UNKNOWN);
    ASSERT_NE(hi, TB_VALUE_UNKNOWN);
    EXPECT_EQ(hi * 256 + (lo & 0xFF), static_cast<int16_t>(entry * 37 - 30000)) << entry;
  }
  EXPECT_EQ(readCachedValue(KRNKNN, 0, 1, 12000 - 8192), TB_VALUE_UNKNOWN);
  EXPECT_EQ(readCachedValue(KRNKNN, 0, 2, 0), TB_VALUE_UNKNOWN);
}

TEST_F(TbCacheTest, SplitBlocksMapToExtents) {
  // kqqpkq: four extents per side; block 0x40000 is extent '1', block 0.
  const Bytes e0 = tbfiles::patternBytes(10000, 5), e1 = tbfiles::patternBytes(10000, 6);
  write("kqqpkq.0.nbw", e0);
  write("kqqpkq.1.nbw", e1);
  ASSERT_EQ(initTablebases(dir.c_str()), 6);
  ASSERT_EQ(tbExtentCount(tbDescriptors[KQQPKQ], 0), 4);
  ASSERT_EQ(useCache(4 * 8284), 1);
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0, 5), signedByte(e0[5]));
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0x40000, 5), signedByte(e1[5]));
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0x40001, 5), signedByte(e1[8192 + 5]));
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0x80000, 0), TB_VALUE_UNKNOWN);  // extent '2' missing
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, int64_t{4} << 18, 0), TB_VALUE_UNKNOWN);  // no extent 4
  EXPECT_NE(tbDescriptors[KQQPKQ].fileName[0][0], nullptr);
  EXPECT_NE(tbDescriptors[KQQPKQ].fileName[0][1], nullptr);
}

TEST_F(TbCacheTest, DeletedFileGivesUnknownAndDropsOnlyThatExtent) {
  const Bytes w = tbfiles::patternBytes(81664, 7), b = tbfiles::patternBytes(84012, 8);
  write("kpk.nbw", w);
  write("kpk.nbb", b);
  initTablebases(dir.c_str());
  ASSERT_EQ(useCache(8284), 1);
  ASSERT_EQ(readCachedValue(KPK, 1, 0, 3), signedByte(b[3]));
  ASSERT_EQ(unlink(path("kpk.nbw").c_str()), 0);
  EXPECT_EQ(readCachedValue(KPK, 0, 0, 3), TB_VALUE_UNKNOWN);
  EXPECT_EQ(tbDescriptors[KPK].fileName[0][0], nullptr);
  EXPECT_NE(tbDescriptors[KPK].fileName[1][0], nullptr);
  // The failed probe gave up no block: side 1's block is still the only one held.
  EXPECT_TRUE(cached(KPK, 1, 0));
  EXPECT_EQ(tbCacheMru, tbCacheLru);
  EXPECT_EQ(readCachedValue(KPK, 0, 0, 3), TB_VALUE_UNKNOWN);
  EXPECT_TRUE(cached(KPK, 1, 0));
}

using TbCacheDeathTest = TbCacheTest;

// A file swapped after registration for a directory, a FIFO or a link to a
// directory answers unknown at once and drops its extent, as a deleted one
// does, without giving up a cached block; the FIFO's open does not wait.
TEST_F(TbCacheDeathTest, FileReplacedByANonRegularFileGivesUnknownAndDropsTheExtent) {
  const Bytes w = tbfiles::patternBytes(81664, 16), b = tbfiles::patternBytes(84012, 17);
  for (tbfiles::NotAFile kind : tbfiles::NOT_A_FILE_KINDS) {
    write("kpk.nbw", w);
    write("kpk.nbb", b);
    ASSERT_EQ(initTablebases(dir.c_str()), 3);
    ASSERT_EQ(useCache(8284), 1);
    ASSERT_EQ(readCachedValue(KPK, 1, 0, 3), signedByte(b[3]));
    ASSERT_EQ(unlink(path("kpk.nbw").c_str()), 0);
    ASSERT_TRUE(tbfiles::makeNotAFile(path("kpk.nbw"), kind));
    EXPECT_EXIT(readKpkBeforeDeadline(), ::testing::ExitedWithCode(0),
                "^value 32767 registered 0 black cached 1\n$")
        << tbfiles::notAFileName(kind);
    ASSERT_EQ(std::remove(path("kpk.nbw").c_str()), 0);
  }
}

TEST_F(TbCacheTest, ReadsPastTheEndOfAFile) {
  // knk has no stated length here, so any size registers; 100 bytes.
  tbDescriptors[KNK].length[0] = 0;
  const Bytes w = tbfiles::patternBytes(100, 9);
  write("knk.nbw", w);
  initTablebases(dir.c_str());
  ASSERT_EQ(useCache(2 * 8284), 1);
  EXPECT_EQ(readCachedValue(KNK, 0, 0, 99), signedByte(w[99]));
  EXPECT_EQ(readCachedValue(KNK, 0, 0, 100), TB_VALUE_UNKNOWN);  // past the bytes read
  EXPECT_NE(tbDescriptors[KNK].fileName[0][0], nullptr);
  EXPECT_EQ(readCachedValue(KNK, 0, 1, 0), TB_VALUE_UNKNOWN);  // a read of nothing fails
  EXPECT_EQ(tbDescriptors[KNK].fileName[0][0], nullptr);
  EXPECT_EQ(freeBlocks(), 1);  // the failed block went back to the free list
}

TEST_F(TbCacheTest, CompressedSideReadsThroughTheCache) {
  const Bytes data = tbfiles::patternBytes(698739, 10);
  Bytes table(data.size());
  for (size_t i = 0; i < data.size(); ++i) table[i] = data[i] % 5 == 0 ? data[i] : (i / 300) % 7;
  write("kqqk.nbw.emd", tbencoder::encode(table));
  ASSERT_EQ(initTablebases(dir.c_str()), 4);
  ASSERT_NE(tbDescriptors[KQQK].decoder[0][0], nullptr);
  ASSERT_NE(decodeBlockShared, nullptr);
  ASSERT_EQ(useCache(4 * 8284), 1);
  for (size_t i = 0; i < table.size(); i += 97)
    ASSERT_EQ(readCachedValue(KQQK, 0, static_cast<int64_t>(i >> 13), static_cast<int>(i & 8191)),
              signedByte(table[i])) << i;
  // The last block decodes to 698,739 - 85 * 8192 = 2,419 bytes.
  EXPECT_EQ(readCachedValue(KQQK, 0, 85, 2418), signedByte(table.back()));
  EXPECT_EQ(readCachedValue(KQQK, 0, 85, 2419), TB_VALUE_UNKNOWN);
  EXPECT_EQ(readCachedValue(KQQK, 0, 86, 0), TB_VALUE_UNKNOWN);
  EXPECT_NE(tbDescriptors[KQQK].fileName[0][0], nullptr);
  // A file cut after registration: its last blocks fail and the extent is dropped.
  ASSERT_EQ(truncate(path("kqqk.nbw.emd").c_str(), 30000), 0);
  useCache(4 * 8284);
  EXPECT_EQ(readCachedValue(KQQK, 0, 80, 0), TB_VALUE_UNKNOWN);
  EXPECT_EQ(tbDescriptors[KQQK].fileName[0][0], nullptr);
}

TEST_F(TbCacheTest, CompressedSplitExtentAndBlocksBeyondTheFile) {
  // kqqpkq side 0 given 2^31 + 10,000 entries: two extents, the second of
  // 10,000 entries (the remainder), here compressed.
  tbDescriptors[KQQPKQ].length[0] = (int64_t{1} << 31) + 10000;
  const Bytes e0 = tbfiles::patternBytes(9000, 14), e1 = tbfiles::patternBytes(10000, 15);
  write("kqqpkq.0.nbw", e0);
  write("kqqpkq.1.nbw.emd", tbencoder::encode(e1));
  ASSERT_EQ(initTablebases(dir.c_str()), 6);
  ASSERT_EQ(tbDescriptors[KQQPKQ].decoder[0][0], nullptr);
  ASSERT_NE(tbDescriptors[KQQPKQ].decoder[0][1], nullptr);
  ASSERT_EQ(useCache(2 * 8284), 1);
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0x40000, 17), signedByte(e1[17]));
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0x40001, 1807), signedByte(e1[9999]));
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0x40001, 1808), TB_VALUE_UNKNOWN);
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 1, 7), signedByte(e0[8192 + 7]));
  // Block 2 of the compressed extent is past its block count: unknown, nothing dropped.
  EXPECT_EQ(readCachedValue(KQQPKQ, 0, 0x40002, 0), TB_VALUE_UNKNOWN);
  EXPECT_NE(tbDescriptors[KQQPKQ].fileName[0][1], nullptr);
  EXPECT_EQ(freeBlocks(), 0);
}

TEST_F(TbCacheTest, NoCacheAndTeardown) {
  const Bytes w = tbfiles::patternBytes(81664, 11);
  write("kpk.nbw", w);
  initTablebases(dir.c_str());
  EXPECT_EQ(tbCacheCount, 0);
  EXPECT_EQ(readCachedValue(KPK, 0, 0, 0), TB_VALUE_UNKNOWN);
  ASSERT_EQ(useCache(8284), 1);
  ASSERT_EQ(readCachedValue(KPK, 0, 0, 0), signedByte(w[0]));
  EXPECT_NE(tbDescriptors[KPK].file[0][0], nullptr);
  // Set-up again with no cache still closes the open files.
  EXPECT_EQ(setTablebaseCache(buffer.data(), 100), 0);
  EXPECT_EQ(tbDescriptors[KPK].file[0][0], nullptr);
  EXPECT_EQ(readCachedValue(KPK, 0, 0, 0), TB_VALUE_UNKNOWN);
  // Re-initialisation leaves no cache and frees the bucket heads.
  ASSERT_EQ(useCache(8284), 1);
  readCachedValue(KPK, 0, 0, 0);
  initTablebases(dir.c_str());
  EXPECT_EQ(tbCacheCount, 0);
  EXPECT_EQ(tbCacheMru, nullptr);
  EXPECT_EQ(tbDescriptors[KPK].file[0][0], nullptr);
}

TEST_F(TbCacheTest, PlainFileBeyondFourGigabytes) {
  // kbnknn side 0: 2,744,597,400 one-byte entries in one plain file; its last
  // block (335,033, holding 7,064 bytes) lies far beyond 2^31 bytes.
  const int64_t length = 2744597400;
  tbDescriptors[KBNKNN].length[0] = length;
  const std::string file = path("kbnknn.nbw");
  const int fd = open(file.c_str(), O_CREAT | O_RDWR, 0644);
  ASSERT_GE(fd, 0);
  if (ftruncate(fd, length) != 0) {
    close(fd);
    GTEST_SKIP() << "no sparse files here";
  }
  struct stat st;
  fstat(fd, &st);
  if (st.st_blocks * 512 > int64_t{1} << 30) {
    close(fd);
    GTEST_SKIP() << "the file system does not make sparse files";
  }
  const int64_t lastBlock = (length - 1) >> 13;
  ASSERT_EQ(lastBlock, 335033);
  const Bytes tail = tbfiles::patternBytes(7064, 12);
  const Bytes mid = tbfiles::patternBytes(8192, 13);
  ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(lastBlock * 8192)), 7064);
  ASSERT_EQ(pwrite(fd, mid.data(), mid.size(), static_cast<off_t>(int64_t{300000} * 8192)), 8192);
  close(fd);
  ASSERT_EQ(initTablebases(dir.c_str()), 6);
  ASSERT_EQ(useCache(2 * 8284), 1);
  EXPECT_EQ(readCachedValue(KBNKNN, 0, lastBlock, 0), signedByte(tail[0]));
  EXPECT_EQ(readCachedValue(KBNKNN, 0, lastBlock, 7063), signedByte(tail[7063]));
  EXPECT_EQ(readCachedValue(KBNKNN, 0, lastBlock, 7064), TB_VALUE_UNKNOWN);
  EXPECT_EQ(readCachedValue(KBNKNN, 0, 300000, 4321), signedByte(mid[4321]));
  EXPECT_EQ(readCachedValue(KBNKNN, 0, 1000, 5), 0);  // a hole reads as zero
}
