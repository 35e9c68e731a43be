#include "tablebases/decode_table.h"

#include <cassert>
#include <cstring>

namespace {

constexpr int16_t EMPTY_SLOT = INT16_MAX;  // not yet filled while building
constexpr int SMALL_WIDTH_BITS = 5;
constexpr int SMALL_ZERO_RUN_BITS = 4;
constexpr int CODE_A_LITERALS = 32;  // code A symbols below this are a length
constexpr int CODE_B_SHORT_RUNS = 32;  // code B symbols below this are a run of c + 2
constexpr int SHORT_RUN_BASE = 2;
constexpr int LONG_RUN_BASE = 33;
constexpr int MAX_RUN_EXTRA_BITS = 16;  // anything wider runs past every alphabet

int16_t leafEntry(int symbol, int bits) {
  return static_cast<int16_t>(symbol | (bits << DECODE_ENTRY_BITS_SHIFT));
}

void fillDirect(int16_t* table, int width, int16_t entry) {
  for (int i = 0; i < (1 << width); ++i) table[i] = entry;
}

// Places the code of one symbol longer than the lookup width into the tree.
bool placeLongCode(int16_t* table, int width, int slots, int& nodes, uint32_t code, int length,
                   int symbol) {
  int16_t* tree = table + (1 << width);
  const int treeSlots = slots - (1 << width);
  int16_t* slot = &table[code >> (length - width)];
  for (int bit = length - width - 1; bit >= 0; --bit) {
    if (*slot == EMPTY_SLOT) {
      if (2 * (nodes + 1) > treeSlots) return false;
      tree[2 * nodes] = EMPTY_SLOT;
      tree[2 * nodes + 1] = EMPTY_SLOT;
      *slot = static_cast<int16_t>(~nodes);
      ++nodes;
    } else if (*slot >= 0) {
      return false;  // a shorter code is a prefix of this one
    }
    slot = &tree[2 * ~*slot + ((code >> bit) & 1)];
  }
  if (*slot != EMPTY_SLOT) return false;
  *slot = leafEntry(symbol, 0);
  return true;
}

}  // namespace

bool buildDecodeTable(const uint8_t* lengths, int n, int width, int16_t* table, int slots) {
  assert(lengths != nullptr && table != nullptr);
  assert(n >= 1 && n <= TB_BLOCK_ALPHABET);
  assert(width >= 1 && width <= BIT_READER_MAX_TAKE);
  assert(slots >= (1 << width) + 2 * n);
  int count[TB_MAX_CODE_LENGTH + 1] = {};
  int used = 0;
  int lone = 0;
  for (int s = 0; s < n; ++s) {
    if (lengths[s] > TB_MAX_CODE_LENGTH) return false;
    if (lengths[s] == 0) continue;
    ++count[lengths[s]];
    ++used;
    lone = s;
  }
  if (used == 0) {
    fillDirect(table, width, leafEntry(0, 0));
    return true;
  }
  if (used == 1) {
    if (lengths[lone] != 1) return false;
    fillDirect(table, width, leafEntry(lone, 0));
    return true;
  }
  // Complete: every level's codes pair up exactly into one root.
  int64_t total = 0;
  for (int l = TB_MAX_CODE_LENGTH; l >= 1; --l) {
    total += count[l];
    if (total & 1) return false;
    total >>= 1;
  }
  if (total != 1) return false;

  uint32_t nextCode[TB_MAX_CODE_LENGTH + 1] = {};
  uint32_t code = 0;
  for (int l = 1; l <= TB_MAX_CODE_LENGTH; ++l) {
    code = (code + static_cast<uint32_t>(count[l - 1])) << 1;
    nextCode[l] = code;
  }
  fillDirect(table, width, EMPTY_SLOT);
  int nodes = 0;
  for (int s = 0; s < n; ++s) {
    const int l = lengths[s];
    if (l == 0) continue;
    const uint32_t c = nextCode[l]++;
    if (l <= width) {
      const uint32_t start = c << (width - l);
      for (uint32_t i = 0; i < (1u << (width - l)); ++i) table[start + i] = leafEntry(s, l);
    } else if (!placeLongCode(table, width, slots, nodes, c, l, s)) {
      return false;
    }
  }
  const int filled = (1 << width) + 2 * nodes;
  for (int i = 0; i < filled; ++i)
    if (table[i] == EMPTY_SLOT) return false;
  return true;
}

bool readCodeLengths(BitReader& r, int n, uint8_t* lengths) {
  assert(lengths != nullptr);
  assert(n >= 1 && n <= TB_BLOCK_ALPHABET);
  if (takeBits(r, 1) == 1) {
    std::memset(lengths, 0, static_cast<size_t>(n));
    return true;
  }
  if (n <= TB_SMALL_LENGTH_METHOD_MAX) {
    const int width = static_cast<int>(takeBits(r, SMALL_WIDTH_BITS));
    if (width == 0) return false;
    int i = 0;
    while (i < n) {
      const uint32_t length = takeLongBits(r, width);
      if (length > TB_MAX_CODE_LENGTH) return false;
      lengths[i++] = static_cast<uint8_t>(length);
      if (length == 0) {
        const int zeros = static_cast<int>(takeBits(r, SMALL_ZERO_RUN_BITS));
        if (i + zeros > n) return false;
        std::memset(lengths + i, 0, static_cast<size_t>(zeros));
        i += zeros;
      }
    }
    return true;
  }
  uint8_t inner[2 * TB_LENGTH_CODE_SYMBOLS];
  if (!readCodeLengths(r, 2 * TB_LENGTH_CODE_SYMBOLS, inner)) return false;
  int16_t codeA[TB_LENGTH_TABLE_SLOTS];
  int16_t codeB[TB_LENGTH_TABLE_SLOTS];
  if (!buildDecodeTable(inner, TB_LENGTH_CODE_SYMBOLS, TB_LENGTH_LOOKUP_BITS, codeA,
                        TB_LENGTH_TABLE_SLOTS) ||
      !buildDecodeTable(inner + TB_LENGTH_CODE_SYMBOLS, TB_LENGTH_CODE_SYMBOLS,
                        TB_LENGTH_LOOKUP_BITS, codeB, TB_LENGTH_TABLE_SLOTS))
    return false;
  int i = 0;
  while (i < n) {
    const int a = decodeSymbol(r, codeA, TB_LENGTH_LOOKUP_BITS);
    if (a < CODE_A_LITERALS) {
      lengths[i++] = static_cast<uint8_t>(a);
      continue;
    }
    const int c = decodeSymbol(r, codeB, TB_LENGTH_LOOKUP_BITS);
    int64_t run;
    if (c < CODE_B_SHORT_RUNS) {
      run = c + SHORT_RUN_BASE;
    } else {
      const int x = c - CODE_B_SHORT_RUNS;
      if (x > MAX_RUN_EXTRA_BITS) return false;
      run = (int64_t{1} << x) + takeBits(r, x) + LONG_RUN_BASE;
    }
    if (i + run > n) return false;
    std::memset(lengths + i, a - CODE_A_LITERALS, static_cast<size_t>(run));
    i += static_cast<int>(run);
  }
  return true;
}
