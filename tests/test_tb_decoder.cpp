// Compressed tablebase files: checksum, bit reader, prefix codes, header
// checks and block decoding, against files written by the test-side encoder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <vector>

#include "tablebases/bit_reader.h"
#include "tablebases/block_decoder.h"
#include "tablebases/compressed_file.h"
#include "tablebases/crc.h"
#include "tablebases/decode_table.h"
#include "tablebases/tb_error.h"
#include "tests/tb_encoder.h"
#include "tests/tb_test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Opens encoded bytes; returns the error value and the record (or null).
int32_t openBytes(const Bytes& bytes, CompressedFile** cf) {
  FILE* f = tbfiles::memoryFile(bytes);
  if (!f) return -1;
  const int32_t error = openCompressedFile(f, cf);
  std::fclose(f);
  return error;
}

// Decodes every block of a file through readCompressedBlock and decodeBlock;
// returns the first error value, the bytes decoded so far in *out.
int32_t decodeFile(const Bytes& bytes, Bytes* out, CompressedFile** keep = nullptr) {
  FILE* f = tbfiles::memoryFile(bytes);
  if (!f) return -1;
  CompressedFile* cf = nullptr;
  int32_t error = openCompressedFile(f, &cf);
  DecodeBlock* record = nullptr;
  if (error == 0) error = allocDecodeBlock(TB_DECODE_BLOCK_SIZE, &record);
  Bytes area(TB_DECODE_BLOCK_SIZE + 36);
  for (int64_t b = 0; error == 0 && b < cf->blockCount; ++b) {
    initDecodeBlock(record, area.data());
    error = readCompressedBlock(record, cf, f, b);
    if (error == 0) error = decodeBlock(record, cf, record->decodedSize);
    if (error == 0) out->insert(out->end(), area.begin(), area.begin() + record->decodedSize);
  }
  freeDecodeBlock(record);
  if (keep) *keep = cf; else freeCompressedFile(cf);
  std::fclose(f);
  return error;
}

Bytes randomBytes(size_t n, uint32_t seed, int range = 256) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng() % range);
  return b;
}

// Structured data like a table's values: runs of a few values with repeats.
Bytes structuredBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    switch (rng() % 4) {
      case 0: b.insert(b.end(), 1 + rng() % 300, static_cast<uint8_t>(rng() % 5)); break;
      case 1: for (int i = rng() % 40; i >= 0; --i) b.push_back(static_cast<uint8_t>(rng() % 256)); break;
      case 2: if (b.size() > 100) { size_t from = b.size() - 1 - rng() % 96, len = 3 + rng() % 60;
                for (size_t i = 0; i < len; ++i) b.push_back(b[from + i]); } break;
      default: for (int i = rng() % 64; i >= 0; --i) b.push_back(static_cast<uint8_t>(120 + rng() % 8));
    }
  }
  b.resize(n);
  return b;
}

uint32_t bigEndian(const Bytes& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

void putBigEndian(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Rewrites the header checksum after a deliberate change.
void resealHeader(Bytes& b) {
  const uint32_t h = bigEndian(b, 64);
  putBigEndian(b, h - 4, tbencoder::checksum(b.data(), h - 4));
}

}  // namespace

TEST(TbCrc, PublishedValuesAndTableEnds) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(datacompCrc(abc, 3), 0xCADBBEC2u);
  EXPECT_EQ(tbCrcTable[0], 0x2D02EF8Du);
  EXPECT_EQ(tbCrcTable[255], 0u);
  EXPECT_EQ(datacompCrc(abc, 0), 0u);
  // Agrees with the bitwise definition on longer input.
  const Bytes data = randomBytes(5000, 7);
  EXPECT_EQ(datacompCrc(data.data(), data.size()), tbencoder::checksum(data.data(), data.size()));
}

TEST(TbBitReader, MatchesBitByBitReadingAndCountsOverrun) {
  const Bytes data = randomBytes(600, 11);
  std::mt19937 rng(3);
  BitReader r;
  initBitReader(r, data.data(), static_cast<int64_t>(data.size()));
  int64_t bit = 0;
  while (bit + 32 <= static_cast<int64_t>(data.size()) * 8) {
    const int n = static_cast<int>(rng() % 17);
    uint32_t expect = 0;
    for (int i = 0; i < n; ++i, ++bit)
      expect = (expect << 1) | ((data[bit / 8] >> (7 - bit % 8)) & 1);
    ASSERT_EQ(takeBits(r, n), expect) << "at bit " << bit;
    ASSERT_EQ(bitReaderConsumed(r), bit);
  }
  EXPECT_FALSE(bitReaderOverrun(r));
  // Past the end the bits are zero and the overrun shows.
  const uint8_t two[] = {0xFF, 0x81};
  initBitReader(r, two, 2);
  EXPECT_EQ(takeBits(r, 16), 0xFF81u);
  EXPECT_FALSE(bitReaderOverrun(r));
  EXPECT_EQ(takeBits(r, 16), 0u);
  EXPECT_TRUE(bitReaderOverrun(r));
  EXPECT_EQ(takeLongBits(r, 32), 0u);
}

struct TableCase {
  const char* name;
  std::vector<uint8_t> lengths;
  bool valid;
};

TEST(TbDecodeTable, AcceptsOnlyCompleteCodes) {
  const TableCase cases[] = {
      {"all zero", {0, 0, 0, 0}, true},
      {"single length 1", {0, 0, 1, 0}, true},
      {"single length 2", {0, 2, 0, 0}, false},
      {"two of length 1", {1, 1}, true},
      {"incomplete", {1, 2, 0}, false},
      {"over-full", {1, 1, 1}, false},
      {"length 32", {1, 0, 0, 0}, true},
      {"rfc 1951 example", {3, 3, 3, 3, 3, 2, 4, 4}, true},
  };
  for (const TableCase& c : cases) {
    int16_t table[TB_BLOCK_TABLE_SLOTS];
    EXPECT_EQ(buildDecodeTable(c.lengths.data(), static_cast<int>(c.lengths.size()),
                               TB_BLOCK_LOOKUP_BITS, table, TB_BLOCK_TABLE_SLOTS),
              c.valid)
        << c.name;
  }
  std::vector<uint8_t> tooLong(40, 0);
  for (int i = 0; i < 31; ++i) tooLong[i] = static_cast<uint8_t>(i + 1);
  tooLong[31] = 32;  // would complete the comb, but 32 is above the limit
  int16_t table[TB_BLOCK_TABLE_SLOTS];
  EXPECT_FALSE(buildDecodeTable(tooLong.data(), 40, 13, table, TB_BLOCK_TABLE_SLOTS));
  tooLong[31] = 31;
  EXPECT_TRUE(buildDecodeTable(tooLong.data(), 40, 13, table, TB_BLOCK_TABLE_SLOTS));
}

TEST(TbDecodeTable, DegenerateCodesTakeNoBits) {
  const uint8_t bytes[] = {0xAB, 0xCD, 0xEF, 0x01};
  int16_t table[TB_BLOCK_TABLE_SLOTS];
  std::vector<uint8_t> zero(TB_BLOCK_ALPHABET, 0);
  ASSERT_TRUE(buildDecodeTable(zero.data(), TB_BLOCK_ALPHABET, 13, table, TB_BLOCK_TABLE_SLOTS));
  BitReader r;
  initBitReader(r, bytes, 4);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(decodeSymbol(r, table, 13), 0);
  EXPECT_EQ(bitReaderConsumed(r), 0);
  std::vector<uint8_t> lone(TB_BLOCK_ALPHABET, 0);
  lone[700] = 1;
  ASSERT_TRUE(buildDecodeTable(lone.data(), TB_BLOCK_ALPHABET, 13, table, TB_BLOCK_TABLE_SLOTS));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(decodeSymbol(r, table, 13), 700);
  EXPECT_EQ(bitReaderConsumed(r), 0);
}

TEST(TbDecodeTable, Rfc1951ExampleCodes) {
  // Lengths (3,3,3,3,3,2,4,4) for A..H give A=010 B=011 C=100 D=101 E=110 F=00 G=1110 H=1111.
  const uint8_t lengths[] = {3, 3, 3, 3, 3, 2, 4, 4};
  int16_t table[(1 << 8) + 16];
  ASSERT_TRUE(buildDecodeTable(lengths, 8, 8, table, (1 << 8) + 16));
  tbencoder::BitWriter w;
  const char* codes[] = {"010", "011", "100", "101", "110", "00", "1110", "1111"};
  const int order[] = {7, 0, 5, 6, 1, 2, 3, 4, 5, 7};
  for (int s : order)
    for (const char* c = codes[s]; *c; ++c) w.put(*c == '1', 1);
  BitReader r;
  initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
  for (int s : order) EXPECT_EQ(decodeSymbol(r, table, 8), s);
}

TEST(TbDecodeTable, LongCodesWalkTheTree) {
  // A comb code: lengths up to 31, far beyond the 13-bit lookup.
  std::vector<uint64_t> freq(TB_BLOCK_ALPHABET, 0);
  std::mt19937 rng(5);
  for (int s = 0; s < TB_BLOCK_ALPHABET; s += 1 + rng() % 3) freq[s] = 1 + rng() % 1000;
  const std::vector<uint8_t> lengths = tbencoder::combLengths(freq, 20);
  ASSERT_GT(*std::max_element(lengths.begin(), lengths.end()), 25);
  const tbencoder::Code code = tbencoder::makeCode(lengths);
  std::vector<int> symbols;
  for (int i = 0; i < 3000; ++i) {
    int s;
    do s = static_cast<int>(rng() % TB_BLOCK_ALPHABET); while (!lengths[s]);
    symbols.push_back(s);
  }
  tbencoder::BitWriter w;
  for (int s : symbols) tbencoder::putSymbol(w, code, s);
  int16_t table[TB_BLOCK_TABLE_SLOTS];
  ASSERT_TRUE(buildDecodeTable(lengths.data(), TB_BLOCK_ALPHABET, 13, table, TB_BLOCK_TABLE_SLOTS));
  BitReader r;
  initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
  int64_t bits = 0;
  for (int s : symbols) {
    ASSERT_EQ(decodeSymbol(r, table, 13), s);
    bits += lengths[s];
    ASSERT_EQ(bitReaderConsumed(r), bits);
  }
}

TEST(TbCodeLengths, BothMethodsRoundTrip) {
  std::mt19937 rng(9);
  std::vector<std::vector<uint8_t>> sets;
  sets.push_back(std::vector<uint8_t>(1024, 0));
  sets.push_back(std::vector<uint8_t>(1024, 10));
  std::vector<uint64_t> freq(1024, 0);
  for (auto& f : freq) f = rng() % 3 ? 0 : 1 + rng() % 5000;
  sets.push_back(tbencoder::huffmanLengths(freq));
  sets.push_back(tbencoder::combLengths(freq, 20));
  std::vector<uint8_t> lumpy(1024, 0);
  for (int i = 0; i < 1024; ++i) lumpy[i] = static_cast<uint8_t>((i / 37) % 3 == 0 ? 0 : 1 + (i / 91) % 31);
  sets.push_back(lumpy);
  std::vector<uint8_t> small(128, 0);
  for (auto& l : small) l = static_cast<uint8_t>(rng() % 4 ? rng() % 32 : 0);
  sets.push_back(small);
  std::vector<uint8_t> sparse(100, 0);
  sparse[99] = 7;
  sets.push_back(sparse);
  for (size_t k = 0; k < sets.size(); ++k) {
    tbencoder::BitWriter w;
    tbencoder::writeCodeLengths(w, sets[k]);
    std::vector<uint8_t> got(sets[k].size(), 99);
    BitReader r;
    initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
    ASSERT_TRUE(readCodeLengths(r, static_cast<int>(got.size()), got.data())) << "set " << k;
    EXPECT_EQ(got, sets[k]) << "set " << k;
    EXPECT_FALSE(bitReaderOverrun(r));
  }
}

TEST(TbCodeLengths, BrokenStreamsAreRefused) {
  uint8_t lengths[1024];
  BitReader r;
  // Small method with a width of 0.
  {
    tbencoder::BitWriter w;
    w.put(0, 1);
    w.put(0, 5);
    initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
    EXPECT_FALSE(readCodeLengths(r, 100, lengths));
  }
  // Small method: a zero run past the end.
  {
    tbencoder::BitWriter w;
    w.put(0, 1);
    w.put(3, 5);
    for (int i = 0; i < 9; ++i) w.put(5, 3);
    w.put(0, 3);
    w.put(15, 4);  // 1 + 15 zeros after 9 lengths: 25 > 20
    initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
    EXPECT_FALSE(readCodeLengths(r, 20, lengths));
  }
  // Large method: a repeat past 1024.
  {
    std::vector<uint8_t> inner(128, 0);
    inner[32 + 5] = 1;  // code A: only "repeat length 5"
    inner[64 + 63] = 1; // code B: only c = 63, 31 extra bits
    tbencoder::BitWriter w;
    w.put(0, 1);
    tbencoder::writeCodeLengths(w, inner);
    w.put(0, 31);
    initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
    EXPECT_FALSE(readCodeLengths(r, 1024, lengths));
  }
  // Large method: code A incomplete.
  {
    std::vector<uint8_t> inner(128, 0);
    inner[0] = 1;
    inner[1] = 2;
    tbencoder::BitWriter w;
    w.put(0, 1);
    tbencoder::writeCodeLengths(w, inner);
    initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
    EXPECT_FALSE(readCodeLengths(r, 1024, lengths));
  }
}

TEST(TbBlockStream, MatchLengthCodes) {
  struct Case { int code; int extraBits; uint32_t extra; uint32_t length; };
  const Case cases[] = {
      {0, 0, 0, 1},     {14, 0, 0, 15},        {15, 1, 0, 16},        {15, 1, 1, 17},
      {16, 2, 3, 21},   {30, 16, 0xFFFF, 14 + 65536 + 0xFFFF},
      {31, 17, 0x1ABCD, 14 + 131072 + 0x1ABCD}, {31, 17, 0x1FFFF, 14 + 131072 + 0x1FFFF},
  };
  for (const Case& c : cases) {
    tbencoder::BitWriter w;
    w.put(c.extra, c.extraBits);
    w.put(0x5A, 7);  // a marker behind the extra bits
    BitReader r;
    initBitReader(r, w.bytes.data(), static_cast<int64_t>(w.bytes.size()));
    EXPECT_EQ(decodeMatchLength(r, c.code), c.length) << "code " << c.code;
    EXPECT_EQ(takeBits(r, 7), 0x5Au) << "code " << c.code;
    // The test encoder writes the same length with the same code.
    const tbencoder::Token t = tbencoder::match(0, c.length);
    EXPECT_EQ(t.symbol - 256, c.code);
    EXPECT_EQ(t.extra, c.extra);
  }
}

TEST(TbRoundTrip, RandomAndStructuredDataOverManyBlockCounts) {
  struct Case { const char* name; size_t size; int kind; tbencoder::CodeKind code; bool matches; };
  const Case cases[] = {
      {"one byte", 1, 1, tbencoder::CodeKind::huffman, true},
      {"last block 1500", 1500, 1, tbencoder::CodeKind::huffman, true},
      {"exact block", 8192, 1, tbencoder::CodeKind::huffman, true},
      {"two blocks, last 1500", 8192 + 1500, 1, tbencoder::CodeKind::huffman, true},
      {"seven blocks", 7 * 8192 - 5, 1, tbencoder::CodeKind::huffman, true},
      {"seventeen blocks", 17 * 8192 + 1500, 1, tbencoder::CodeKind::huffman, true},
      {"comb code", 5 * 8192 + 333, 1, tbencoder::CodeKind::comb, true},
      {"comb literals", 3 * 8192, 0, tbencoder::CodeKind::comb, false},
      {"random literals", 2 * 8192 + 1500, 0, tbencoder::CodeKind::huffman, false},
      {"small alphabet", 9 * 8192 + 1, 2, tbencoder::CodeKind::huffman, true},
      {"constant", 4 * 8192 + 1500, 3, tbencoder::CodeKind::huffman, true},
  };
  uint32_t seed = 1;
  for (const Case& c : cases) {
    Bytes data = c.kind == 0 ? randomBytes(c.size, seed)
               : c.kind == 1 ? structuredBytes(c.size, seed)
               : c.kind == 2 ? randomBytes(c.size, seed, 3)
                             : Bytes(c.size, 0x7E);
    ++seed;
    tbencoder::Options o;
    o.code = c.code;
    o.matches = c.matches;
    const Bytes file = tbencoder::encode(data, o);
    Bytes out;
    CompressedFile* cf = nullptr;
    ASSERT_EQ(decodeFile(file, &out, &cf), 0) << c.name;
    EXPECT_EQ(out, data) << c.name;
    ASSERT_NE(cf, nullptr);
    EXPECT_EQ(cf->blockCount, static_cast<int32_t>((c.size + 8191) / 8192)) << c.name;
    EXPECT_EQ(cf->lastBlockSize, static_cast<int32_t>((c.size - 1) % 8192 + 1)) << c.name;
    EXPECT_EQ(compressedBlockOffset(*cf, cf->blockCount), static_cast<int64_t>(file.size()));
    freeCompressedFile(cf);
  }
}

TEST(TbRoundTrip, CombCodeReallyUsesCodesBeyondTheLookup) {
  const Bytes data = structuredBytes(6 * 8192, 77);
  tbencoder::Options o;
  o.code = tbencoder::CodeKind::comb;
  const auto blocks = tbencoder::cutBlocks(data, o);
  const auto lengths = tbencoder::alphabetLengths(blocks, o);
  int longUses = 0;
  for (const auto& b : blocks)
    for (const auto& t : b.tokens) longUses += lengths[t.symbol] > 13;
  EXPECT_GT(longUses, 100);
  Bytes out;
  ASSERT_EQ(decodeFile(tbencoder::assemble(blocks, o), &out), 0);
  EXPECT_EQ(out, data);
}

TEST(TbRoundTrip, RawBlocksAndTheWidenedIndex) {
  // 20 incompressible blocks are stored raw: eight raw blocks in the second half
  // of a group of 16 sum to 65,536, which a 16-bit delta cannot hold.
  const Bytes data = randomBytes(20 * 8192, 21);
  Bytes out;
  CompressedFile* cf = nullptr;
  const Bytes file = tbencoder::encode(data, tbencoder::Options());
  ASSERT_EQ(decodeFile(file, &out, &cf), 0);
  EXPECT_EQ(out, data);
  ASSERT_NE(cf, nullptr);
  EXPECT_NE(cf->wideOffset, nullptr);
  const int64_t h = bigEndian(file, 64);
  for (int64_t i = 0; i <= 20; ++i) EXPECT_EQ(compressedBlockOffset(*cf, i), h + 8192 * i);
  freeCompressedFile(cf);
  // A compressible file keeps the narrow index and its offsets.
  const Bytes small = structuredBytes(40 * 8192, 22);
  ASSERT_EQ(decodeFile(tbencoder::encode(small), &out, &cf), 0);
  EXPECT_EQ(cf->wideOffset, nullptr);
  freeCompressedFile(cf);
}

TEST(TbRoundTrip, RawBlockOf8192BytesIsCopiedUnchanged) {
  const Bytes data = randomBytes(8192, 31);
  tbencoder::Options o;
  o.allRaw = true;
  const Bytes file = tbencoder::encode(data, o);
  FILE* f = tbfiles::memoryFile(file);
  CompressedFile* cf = nullptr;
  ASSERT_EQ(openCompressedFile(f, &cf), 0);
  DecodeBlock* record = nullptr;
  ASSERT_EQ(allocDecodeBlock(8192, &record), 0);
  Bytes area(8192 + 36, 0);
  initDecodeBlock(record, area.data());
  ASSERT_EQ(readCompressedBlock(record, cf, f, 0), 0);
  EXPECT_EQ(record->compressedSize, 8192);
  EXPECT_TRUE(record->complete);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), area.begin()));
  ASSERT_EQ(decodeBlock(record, cf, 8192), 0);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), area.begin()));
  freeDecodeBlock(record);
  freeCompressedFile(cf);
  std::fclose(f);
}

TEST(TbRoundTrip, MatchOfLength40AtDistance1) {
  tbencoder::Options o;
  tbencoder::Block b;
  b.tokens = {tbencoder::literal('q'), tbencoder::literal('x'), tbencoder::match(0, 40),
              tbencoder::literal('z')};
  b.data = Bytes{'q'};
  b.data.insert(b.data.end(), 41, 'x');
  b.data.push_back('z');
  ASSERT_EQ(o.distances[0], 1);
  Bytes out;
  ASSERT_EQ(decodeFile(tbencoder::assemble({b}, o), &out), 0);
  EXPECT_EQ(out, b.data);
}

TEST(TbRoundTrip, MatchPastTheBlockEndStopsAtTheEnd) {
  // Length code 31 with all 17 extra bits set asks for 14 + 131072 + 131071
  // bytes; the copy ends with the block.
  tbencoder::Options o;
  tbencoder::Block b;
  b.tokens = {tbencoder::literal(9), tbencoder::literal(8), tbencoder::match(1, 14 + 131072 + 131071)};
  ASSERT_EQ(b.tokens[2].symbol, 256 + 32 + 31);
  ASSERT_EQ(b.tokens[2].extraBits, 17);
  for (int i = 0; i < 8192; ++i) b.data.push_back(i % 2 ? 8 : 9);
  Bytes out;
  ASSERT_EQ(decodeFile(tbencoder::assemble({b}, o), &out), 0);
  EXPECT_EQ(out, b.data);
}

TEST(TbBrokenBlocks, StreamFaultsAreKindSix) {
  struct Case { const char* name; std::vector<tbencoder::Token> tokens; size_t decoded; };
  const Case cases[] = {
      {"distance before the start", {tbencoder::literal(1), tbencoder::match(3, 5)}, 6},
      {"match at the start", {tbencoder::match(0, 20)}, 20},
  };
  for (const Case& c : cases) {
    tbencoder::Block b;
    b.tokens = c.tokens;
    b.data.assign(c.decoded + 40, 0);  // long enough that the stream is not stored raw
    tbencoder::Options o;
    Bytes out;
    const int32_t e = decodeFile(tbencoder::assemble({b}, o), &out);
    EXPECT_EQ(tbErrorKind(e), TB_ERROR_BROKEN) << c.name;
  }
  // A distance of 0 in the header, used by a match.
  tbencoder::Options o;
  o.distances[5] = 0;
  tbencoder::Block b;
  b.tokens = {tbencoder::literal(1), tbencoder::literal(2), tbencoder::match(5, 3)};
  b.data.assign(60, 0);
  Bytes out;
  EXPECT_EQ(tbErrorKind(decodeFile(tbencoder::assemble({b}, o), &out)), TB_ERROR_BROKEN);
}

TEST(TbBrokenBlocks, StreamReadingPastItsBytes) {
  // Literals only over a wide alphabet: cut the stream short and it must fail.
  const Bytes data = randomBytes(3000, 41, 200);
  tbencoder::Options o;
  o.matches = false;
  Bytes file = tbencoder::encode(data, o);
  CompressedFile* cf = nullptr;
  ASSERT_EQ(openBytes(file, &cf), 0);
  const int64_t start = compressedBlockOffset(*cf, 0);
  const int32_t size = static_cast<int32_t>(compressedBlockOffset(*cf, 1) - start);
  ASSERT_LT(size, 3000);
  Bytes out(3000 + 36);
  Bytes input(file.begin() + start, file.end());
  input.resize(input.size() + TB_INPUT_PADDING, 0);
  EXPECT_EQ(expandBlock(*cf, input.data(), size, out.data(), 3000), 0);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_EQ(tbErrorKind(expandBlock(*cf, input.data(), size - 20, out.data(), 3000)),
            TB_ERROR_BROKEN);
  freeCompressedFile(cf);
}

TEST(TbHeader, ChecksAreTableDriven) {
  const Bytes good = tbencoder::encode(structuredBytes(3 * 8192 + 1500, 51));
  CompressedFile* cf = nullptr;
  ASSERT_EQ(openBytes(good, &cf), 0);
  freeCompressedFile(cf);
  struct Case { const char* name; void (*change)(Bytes&); int32_t kind; };
  const Case cases[] = {
      {"H = 83", [](Bytes& b) { putBigEndian(b, 64, 83); }, TB_ERROR_BROKEN},
      {"H past the file", [](Bytes& b) { putBigEndian(b, 64, static_cast<uint32_t>(b.size() + 1)); }, TB_ERROR_READ},
      {"bad magic", [](Bytes& b) { b[77] = 65; }, TB_ERROR_BROKEN},
      {"23 distances", [](Bytes& b) { b[71] = 23; }, TB_ERROR_BROKEN},
      {"B = 17", [](Bytes& b) { b[70] = 17; }, TB_ERROR_BROKEN},
      {"no blocks", [](Bytes& b) { putBigEndian(b, 72, 0); }, TB_ERROR_BROKEN},
      {"N too large for H", [](Bytes& b) { putBigEndian(b, 72, 1000000); }, TB_ERROR_BROKEN},
      {"checksum", [](Bytes& b) { b[bigEndian(b, 64) - 1] ^= 1; }, TB_ERROR_BROKEN},
      {"banner", [](Bytes& b) { b[3] ^= 0x20; }, TB_ERROR_BROKEN},
      {"short file", [](Bytes& b) { b.resize(50); }, TB_ERROR_READ},
      {"cut inside the header", [](Bytes& b) { b.resize(100); }, TB_ERROR_READ},
  };
  for (const Case& c : cases) {
    Bytes b = good;
    c.change(b);
    EXPECT_EQ(tbErrorKind(openBytes(b, &cf)), c.kind) << c.name;
    EXPECT_EQ(cf, nullptr) << c.name;
  }
  // A changed banner under a fresh checksum is accepted: nothing in it is checked.
  Bytes b = good;
  b[3] ^= 0x20;
  resealHeader(b);
  ASSERT_EQ(openBytes(b, &cf), 0);
  freeCompressedFile(cf);
  // An incomplete alphabet code under a valid checksum.
  std::vector<uint8_t> lengths(1024, 0);
  lengths[0] = 1;
  lengths[1] = 2;
  tbencoder::Options o;
  const Bytes bad = tbencoder::assembleHeader({1}, 1, lengths, o);
  EXPECT_EQ(tbErrorKind(openBytes(bad, &cf)), TB_ERROR_BROKEN);
}

TEST(TbHeader, FileCutInsideItsHeaderIsAReadError) {
  const Bytes good = tbencoder::encode(structuredBytes(3 * 8192 + 1500, 52));
  const size_t h = bigEndian(good, 64);
  ASSERT_GT(h, 100u);
  CompressedFile* cf = nullptr;
  for (size_t cut : {size_t{79}, size_t{80}, size_t{81}, h / 2, h - 5, h - 1}) {
    const Bytes b(good.begin(), good.begin() + cut);
    EXPECT_EQ(tbErrorKind(openBytes(b, &cf)), TB_ERROR_READ) << "cut at " << cut;
    EXPECT_EQ(cf, nullptr) << "cut at " << cut;
  }
  // Cut at H the header is whole: it opens (only the blocks are missing).
  ASSERT_EQ(openBytes(Bytes(good.begin(), good.begin() + h), &cf), 0);
  freeCompressedFile(cf);
}

TEST(TbHeader, CorruptedFilesNeverReadOutsideTheirBuffers) {
  // Random damage to header and blocks, each sealed or not: every outcome is a
  // clean error value or a decoded file of the right size.
  const Bytes data = structuredBytes(5 * 8192 + 700, 61);
  tbencoder::Options o;
  o.code = tbencoder::CodeKind::comb;
  const Bytes good = tbencoder::encode(data, o);
  const uint32_t h = bigEndian(good, 64);
  std::mt19937 rng(62);
  int broken = 0, decoded = 0;
  for (int trial = 0; trial < 400; ++trial) {
    Bytes b = good;
    const int flips = 1 + rng() % 4;
    const bool inHeader = trial % 2 == 0;
    for (int i = 0; i < flips; ++i) {
      const size_t at = inHeader ? 80 + rng() % (h - 84) : h + rng() % (b.size() - h);
      b[at] ^= static_cast<uint8_t>(1 + rng() % 255);
    }
    if (inHeader) resealHeader(b);
    Bytes out;
    const int32_t e = decodeFile(b, &out);
    if (e == 0) {
      ++decoded;
      EXPECT_EQ(out.size(), data.size());
    } else {
      ++broken;
      const int32_t kind = tbErrorKind(e);
      EXPECT_TRUE(kind == TB_ERROR_BROKEN || kind == TB_ERROR_READ ||
                  kind == TB_ERROR_BAD_ARGUMENT) << "error " << e;
    }
  }
  EXPECT_GT(broken, 50);
}

TEST(TbDecodeBlockRecord, ErrorValuesAndArguments) {
  DecodeBlock* record = nullptr;
  EXPECT_EQ(allocDecodeBlock(8192, nullptr), 225287);
  EXPECT_EQ(allocDecodeBlock(1000, &record), 226823);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(allocDecodeBlock(0, &record), 226823);
  ASSERT_EQ(allocDecodeBlock(8192, &record), 0);
  const Bytes data = structuredBytes(2 * 8192 + 100, 71);
  const Bytes file = tbencoder::encode(data);
  FILE* f = tbfiles::memoryFile(file);
  CompressedFile* cf = nullptr;
  ASSERT_EQ(openCompressedFile(f, &cf), 0);
  Bytes area(8192 + 36);
  initDecodeBlock(record, area.data());
  EXPECT_EQ(decodeBlock(record, cf, 10), tbError(46, TB_ERROR_BAD_ARGUMENT));  // nothing read
  EXPECT_EQ(tbErrorKind(readCompressedBlock(record, cf, f, 3)), TB_ERROR_BAD_ARGUMENT);
  EXPECT_EQ(tbErrorKind(readCompressedBlock(record, cf, f, -1)), TB_ERROR_BAD_ARGUMENT);
  ASSERT_EQ(readCompressedBlock(record, cf, f, 2), 0);
  EXPECT_EQ(record->decodedSize, 100);
  EXPECT_EQ(tbErrorKind(decodeBlock(record, cf, 0)), TB_ERROR_BAD_ARGUMENT);
  EXPECT_EQ(tbErrorKind(decodeBlock(record, cf, 101)), TB_ERROR_BAD_ARGUMENT);
  ASSERT_EQ(decodeBlock(record, cf, 100), 0);
  EXPECT_TRUE(std::equal(area.begin(), area.begin() + 100, data.begin() + 2 * 8192));
  // A part of a block: only the first bytes are asked for.
  ASSERT_EQ(readCompressedBlock(record, cf, f, 1), 0);
  std::fill(area.begin(), area.end(), 0xEE);
  ASSERT_EQ(decodeBlock(record, cf, 300), 0);
  EXPECT_TRUE(std::equal(area.begin(), area.begin() + 300, data.begin() + 8192));
  // A file cut inside its blocks: the read of the last block fails as a read error.
  std::fclose(f);
  Bytes cut(file.begin(), file.end() - 10);
  f = tbfiles::memoryFile(cut);
  EXPECT_EQ(tbErrorKind(readCompressedBlock(record, cf, f, 2)), TB_ERROR_READ);
  std::fclose(f);
  freeCompressedFile(cf);
  freeDecodeBlock(record);
}

TEST(TbLargeFile, OffsetsBeyondTwoGigabytes) {
  // A sparse file of 2^18 + 20 raw blocks of 8192 bytes: blocks beyond 2^31 bytes
  // are found at their true offsets. The holes read as zero bytes.
  const std::string dir = tbfiles::makeScratchDir();
  ASSERT_FALSE(dir.empty());
  const std::string path = dir + "/big.emd";
  const uint32_t n = (1u << 18) + 20;
  std::vector<uint32_t> sizes(n, 8192);
  tbencoder::Options o;
  const Bytes header = tbencoder::assembleHeader(sizes, 8192, std::vector<uint8_t>(1024, 0), o);
  ASSERT_TRUE(tbfiles::writeFile(path, header));
  const int64_t total = static_cast<int64_t>(header.size()) + int64_t{8192} * n;
  const int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  if (ftruncate(fd, total) != 0) {
    close(fd);
    tbfiles::removeScratchDir(dir);
    GTEST_SKIP() << "no sparse files here";
  }
  struct stat st;
  fstat(fd, &st);
  if (st.st_blocks * 512 > int64_t{1} << 30) {
    close(fd);
    tbfiles::removeScratchDir(dir);
    GTEST_SKIP() << "the file system does not make sparse files";
  }
  const int64_t blocks[] = {(1 << 18) + 3, n - 1};
  for (int64_t b : blocks) {
    const Bytes mark = randomBytes(8192, static_cast<uint32_t>(b));
    ASSERT_EQ(pwrite(fd, mark.data(), mark.size(), static_cast<off_t>(header.size() + 8192 * b)), 8192);
  }
  close(fd);
  FILE* f = std::fopen(path.c_str(), "rb");
  CompressedFile* cf = nullptr;
  ASSERT_EQ(openCompressedFile(f, &cf), 0);
  EXPECT_NE(cf->wideOffset, nullptr);
  DecodeBlock* record = nullptr;
  ASSERT_EQ(allocDecodeBlock(8192, &record), 0);
  Bytes area(8192 + 36);
  for (int64_t b : blocks) {
    EXPECT_EQ(compressedBlockOffset(*cf, b), static_cast<int64_t>(header.size()) + 8192 * b);
    initDecodeBlock(record, area.data());
    ASSERT_EQ(readCompressedBlock(record, cf, f, b), 0);
    ASSERT_EQ(decodeBlock(record, cf, 8192), 0);
    const Bytes mark = randomBytes(8192, static_cast<uint32_t>(b));
    EXPECT_TRUE(std::equal(mark.begin(), mark.end(), area.begin())) << "block " << b;
  }
  initDecodeBlock(record, area.data());
  ASSERT_EQ(readCompressedBlock(record, cf, f, 1 << 18), 0);
  EXPECT_TRUE(std::all_of(area.begin(), area.begin() + 8192, [](uint8_t x) { return x == 0; }));
  freeDecodeBlock(record);
  freeCompressedFile(cf);
  std::fclose(f);
  tbfiles::removeScratchDir(dir);
}
