// Test-side writer of compressed tablebase files (".emd"): cuts data into
// 8192-byte blocks, finds greedy matches over 24 chosen distances, builds one
// prefix code for the whole file (Huffman with lengths capped at 31, or a
// forced "comb" code whose long codes pass the 13-bit lookup), writes the code
// lengths, stores blocks raw when they do not shrink, and assembles the header
// with its checksum. Written from the file format alone, with its own bitwise
// CRC, so that it checks the reader rather than mirrors it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <queue>
#include <string>
#include <vector>

namespace tbencoder {

constexpr int BLOCK_BITS = 13;
constexpr int BLOCK_SIZE = 1 << BLOCK_BITS;
constexpr int ALPHABET = 1024;
constexpr int DISTANCES = 24;
constexpr int MAX_LENGTH = 31;
constexpr int HEADER_FIXED = 80;

// Writes bits most significant first.
struct BitWriter {
  std::vector<uint8_t> bytes;
  int bitsInLast = 8;  // bits used in the last byte

  void put(uint64_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (bitsInLast == 8) {
        bytes.push_back(0);
        bitsInLast = 0;
      }
      if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> bitsInLast);
      ++bitsInLast;
    }
  }
  void align() { bitsInLast = 8; }
};

// CRC-32 (reflected, polynomial 0xEDB88320) over the complement of each byte,
// from 0, with no final inversion; computed bit by bit.
inline uint32_t checksum(const uint8_t* p, size_t n) {
  uint32_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= static_cast<uint8_t>(~p[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0u);
  }
  return crc;
}

// One symbol of a block stream with its extra bits.
struct Token {
  int symbol;
  int extraBits;
  uint32_t extra;
};

inline Token literal(uint8_t b) { return {b, 0, 0}; }

// A match of `length` (1..14 + 2^17 + 2^17 - 1) at distance number di (0..23).
inline Token match(int di, uint32_t length) {
  if (length <= 15) return {256 + 32 * di + static_cast<int>(length) - 1, 0, 0};
  const uint32_t m = length - 14;
  int x = 0;
  while ((m >> (x + 1)) != 0) ++x;
  return {256 + 32 * di + 14 + x, x, m - (1u << x)};
}

enum class CodeKind { huffman, comb };

struct Options {
  int distances[DISTANCES] = {1,  2,  3,  4,  5,   6,   7,   8,    9,    10,   12,   16,
                              24, 32, 48, 64, 96,  128, 256, 512,  1024, 2048, 4096, 8191};
  CodeKind code = CodeKind::huffman;
  int combDepth = 20;      // comb code: lengths 1..combDepth, the rest balanced below
  bool matches = true;     // false: literals only
  bool allRaw = false;     // store every block raw
  int minMatch = 3;
  int blockBits = BLOCK_BITS;  // log2 of the block size written in the header
  std::string banner = "test tablebase file";
};

struct Block {
  std::vector<uint8_t> data;   // the decoded bytes
  std::vector<Token> tokens;   // the stream, unless stored raw
  bool raw = false;
};

// Greedy parse of one block: the longest match over the distances, else a literal.
inline std::vector<Token> parseBlock(const uint8_t* p, int n, const Options& o) {
  std::vector<Token> out;
  int pos = 0;
  while (pos < n) {
    int bestLen = 0, bestDi = 0;
    if (o.matches) {
      for (int di = 0; di < DISTANCES; ++di) {
        const int d = o.distances[di];
        if (d <= 0 || d > pos) continue;
        int len = 0;
        while (pos + len < n && p[pos + len] == p[pos + len - d]) ++len;
        if (len > bestLen) bestLen = len, bestDi = di;
      }
    }
    if (bestLen >= o.minMatch) {
      out.push_back(match(bestDi, static_cast<uint32_t>(bestLen)));
      pos += bestLen;
    } else {
      out.push_back(literal(p[pos++]));
    }
  }
  return out;
}

inline std::vector<Block> cutBlocks(const std::vector<uint8_t>& data, const Options& o) {
  std::vector<Block> blocks;
  const size_t blockSize = size_t{1} << o.blockBits;
  for (size_t at = 0; at < data.size(); at += blockSize) {
    Block b;
    const size_t n = std::min<size_t>(blockSize, data.size() - at);
    b.data.assign(data.begin() + at, data.begin() + at + n);
    b.raw = o.allRaw;
    if (!b.raw) b.tokens = parseBlock(b.data.data(), static_cast<int>(n), o);
    blocks.push_back(std::move(b));
  }
  return blocks;
}

// Huffman code lengths, frequencies flattened until no length exceeds 31.
inline std::vector<uint8_t> huffmanLengths(std::vector<uint64_t> freq) {
  const int n = static_cast<int>(freq.size());
  std::vector<uint8_t> len(n, 0);
  int used = 0;
  for (int s = 0; s < n; ++s) used += freq[s] != 0;
  if (used == 0) return len;
  if (used == 1) {
    for (int s = 0; s < n; ++s) len[s] = freq[s] != 0;
    return len;
  }
  for (;;) {
    typedef std::pair<uint64_t, int> Node;  // weight, node number
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> q;
    std::vector<int> parent(2 * n, -1);
    for (int s = 0; s < n; ++s)
      if (freq[s]) q.push({freq[s], s});
    int next = n;
    while (q.size() > 1) {
      Node a = q.top(); q.pop();
      Node b = q.top(); q.pop();
      parent[a.second] = parent[b.second] = next;
      q.push({a.first + b.first, next++});
    }
    int maxLen = 0;
    for (int s = 0; s < n; ++s) {
      if (!freq[s]) continue;
      int d = 0;
      for (int v = s; parent[v] >= 0; v = parent[v]) ++d;
      len[s] = static_cast<uint8_t>(std::min(d, 255));
      maxLen = std::max(maxLen, d);
    }
    if (maxLen <= MAX_LENGTH) return len;
    for (auto& f : freq)
      if (f) f = (f + 1) / 2;
  }
}

// A complete code with lengths 1, 2, ..., depth for the most frequent symbols
// and a balanced subtree for the rest: long codes for testing the tree path.
inline std::vector<uint8_t> combLengths(const std::vector<uint64_t>& freq, int depth) {
  const int n = static_cast<int>(freq.size());
  std::vector<int> order;
  for (int s = 0; s < n; ++s)
    if (freq[s]) order.push_back(s);
  if (order.size() <= 1) return huffmanLengths(freq);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return freq[a] > freq[b]; });
  const int k = static_cast<int>(order.size());
  const int m = std::min(depth, k - 1);
  std::vector<uint8_t> len(n, 0);
  for (int i = 0; i < m; ++i) len[order[i]] = static_cast<uint8_t>(i + 1);
  const int r = k - m;  // balanced below the last comb node at depth m
  int b = 0;
  while ((1 << (b + 1)) <= r) ++b;
  const int shallow = (r == (1 << b)) ? r : (1 << (b + 1)) - r;
  for (int i = 0; i < r; ++i)
    len[order[m + i]] = static_cast<uint8_t>(m + b + (i < shallow ? 0 : 1));
  return len;
}

// Canonical codes of a set of lengths.
inline std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& len) {
  uint32_t count[MAX_LENGTH + 2] = {}, next[MAX_LENGTH + 2] = {};
  for (uint8_t l : len)
    if (l) ++count[l];
  uint32_t code = 0;
  for (int l = 1; l <= MAX_LENGTH; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  std::vector<uint32_t> codes(len.size(), 0);
  for (size_t s = 0; s < len.size(); ++s)
    if (len[s]) codes[s] = next[len[s]]++;
  return codes;
}

// A prefix code ready for writing; a code of one symbol takes no bits.
struct Code {
  std::vector<uint8_t> len;
  std::vector<uint32_t> bits;
  bool single;
};

inline Code makeCode(const std::vector<uint8_t>& len) {
  int used = 0;
  for (uint8_t l : len) used += l != 0;
  return {len, canonicalCodes(len), used <= 1};
}

inline void putSymbol(BitWriter& w, const Code& code, int s) {
  if (!code.single) w.put(code.bits[s], code.len[s]);
}

// Code lengths of n symbols: the all-zero flag, the small method for n <= 128,
// code A (lengths and repeats) and code B (repeat counts) otherwise.
inline void writeCodeLengths(BitWriter& w, const std::vector<uint8_t>& len) {
  const int n = static_cast<int>(len.size());
  if (std::all_of(len.begin(), len.end(), [](uint8_t l) { return l == 0; })) {
    w.put(1, 1);
    return;
  }
  w.put(0, 1);
  if (n <= 128) {
    int maxLen = *std::max_element(len.begin(), len.end()), width = 1;
    while ((1 << width) <= maxLen) ++width;
    w.put(width, 5);
    for (int i = 0; i < n;) {
      w.put(len[i], width);
      if (len[i++] != 0) continue;
      int z = 0;
      while (z < 15 && i + z < n && len[i + z] == 0) ++z;
      w.put(z, 4);
      i += z;
    }
    return;
  }
  struct Item { int a, c, x; uint32_t extra; };
  std::vector<Item> items;
  std::vector<uint64_t> freqA(64, 0), freqB(64, 0);
  for (int i = 0; i < n;) {
    int run = 1;
    while (i + run < n && len[i + run] == len[i]) ++run;
    if (run == 1) {
      items.push_back({len[i], -1, 0, 0});
      ++freqA[len[i]];
    } else if (run <= 33) {
      items.push_back({32 + len[i], run - 2, 0, 0});
    } else {
      const uint32_t m = static_cast<uint32_t>(run - 33);
      int x = 0;
      while ((m >> (x + 1)) != 0) ++x;
      items.push_back({32 + len[i], 32 + x, x, m - (1u << x)});
    }
    if (run > 1) ++freqA[items.back().a], ++freqB[items.back().c];
    i += run;
  }
  const std::vector<uint8_t> lenA = huffmanLengths(freqA), lenB = huffmanLengths(freqB);
  std::vector<uint8_t> inner(lenA);
  inner.insert(inner.end(), lenB.begin(), lenB.end());
  writeCodeLengths(w, inner);
  const Code codeA = makeCode(lenA), codeB = makeCode(lenB);
  for (const Item& it : items) {
    putSymbol(w, codeA, it.a);
    if (it.c < 0) continue;
    putSymbol(w, codeB, it.c);
    w.put(it.extra, it.x);
  }
}

// The header for blocks of the given compressed sizes (1..block size) and last-block
// size, with the alphabet's code lengths; per-block checksums as given (or 0).
inline std::vector<uint8_t> assembleHeader(const std::vector<uint32_t>& compressedSizes,
                                           uint32_t lastSize, const std::vector<uint8_t>& lengths,
                                           const Options& o,
                                           const std::vector<uint32_t>& blockChecksums = {}) {
  const uint32_t n = static_cast<uint32_t>(compressedSizes.size());
  const uint32_t mask = (1u << o.blockBits) - 1;
  std::vector<uint8_t> h(HEADER_FIXED, 0);
  std::memcpy(h.data(), o.banner.data(), std::min<size_t>(o.banner.size(), 64));
  h[70] = static_cast<uint8_t>(o.blockBits);
  h[71] = DISTANCES;
  for (int i = 0; i < 4; ++i) h[72 + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
  const uint8_t magic[4] = {0, 64, 1, 245};
  std::memcpy(&h[76], magic, 4);
  for (uint32_t i = 0; i < 2 * n; ++i) {
    const uint32_t c = i < blockChecksums.size() ? blockChecksums[i] : 0;
    for (int k = 0; k < 4; ++k) h.push_back(static_cast<uint8_t>(c >> (24 - 8 * k)));
  }
  BitWriter w;
  for (uint32_t s : compressedSizes) w.put(s & mask, o.blockBits);
  w.put(lastSize & mask, o.blockBits);
  for (int d : o.distances) w.put(static_cast<uint32_t>(d) & mask, o.blockBits);
  w.align();
  writeCodeLengths(w, lengths);
  h.insert(h.end(), w.bytes.begin(), w.bytes.end());
  const uint32_t total = static_cast<uint32_t>(h.size() + 4);
  for (int i = 0; i < 4; ++i) h[64 + i] = static_cast<uint8_t>(total >> (24 - 8 * i));
  const uint32_t crc = checksum(h.data(), h.size());
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  return h;
}

// Code lengths of the alphabet from the symbols of all blocks.
inline std::vector<uint8_t> alphabetLengths(const std::vector<Block>& blocks, const Options& o) {
  std::vector<uint64_t> freq(ALPHABET, 0);
  for (const Block& b : blocks)
    if (!b.raw)
      for (const Token& t : b.tokens) ++freq[t.symbol];
  return o.code == CodeKind::comb ? combLengths(freq, o.combDepth) : huffmanLengths(freq);
}

// The whole file from blocks whose tokens are set (or marked raw).
inline std::vector<uint8_t> assemble(std::vector<Block> blocks, const Options& o) {
  const std::vector<uint8_t> lengths = alphabetLengths(blocks, o);
  const Code code = makeCode(lengths);
  std::vector<std::vector<uint8_t>> streams;
  std::vector<uint32_t> sizes, sums;
  for (Block& b : blocks) {
    std::vector<uint8_t> s;
    if (!b.raw) {
      BitWriter w;
      for (const Token& t : b.tokens) {
        putSymbol(w, code, t.symbol);
        w.put(t.extra, t.extraBits);
      }
      s = w.bytes;
      if (s.empty()) s.push_back(0);
    }
    if (b.raw || s.size() >= b.data.size()) s = b.data;  // raw: sizes equal
    sums.push_back(checksum(b.data.data(), b.data.size()));
    sums.push_back(checksum(s.data(), s.size()));
    sizes.push_back(static_cast<uint32_t>(s.size()));
    streams.push_back(std::move(s));
  }
  std::vector<uint8_t> file = assembleHeader(
      sizes, static_cast<uint32_t>(blocks.back().data.size()), lengths, o, sums);
  for (const auto& s : streams) file.insert(file.end(), s.begin(), s.end());
  return file;
}

inline std::vector<uint8_t> encode(const std::vector<uint8_t>& data, const Options& o = Options()) {
  return assemble(cutBlocks(data, o), o);
}

}  // namespace tbencoder
