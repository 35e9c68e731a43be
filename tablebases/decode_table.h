// Canonical prefix codes of the compressed tablebase format: reading the code
// lengths of an alphabet and building the table that decodes its symbols.
//
// A decode table of lookup width L is an int16 array: 2^L direct entries
// indexed by the next L bits, followed by the tree slots of codes longer than
// L (two per tree node, at most 2 n for n symbols). An entry e >= 0 is a
// symbol: e & 1023 is the symbol and e >> 10 the number of bits its code takes
// (0 for a tree leaf, whose bits were taken on the way). An entry e < 0 leads
// to tree node ~e, whose children for bit 0 and bit 1 are the tree slots
// 2 (~e) and 2 (~e) + 1; codes go on one bit at a time from there.
#pragma once

#include <cstdint>

#include "tablebases/bit_reader.h"

constexpr int TB_MAX_CODE_LENGTH = 31;
constexpr int TB_BLOCK_ALPHABET = 1024;  // 256 literals, 24 distances x 32 length codes
constexpr int TB_BLOCK_LOOKUP_BITS = 13;
constexpr int TB_BLOCK_TABLE_SLOTS = (1 << TB_BLOCK_LOOKUP_BITS) + 2 * TB_BLOCK_ALPHABET;
constexpr int TB_LENGTH_CODE_SYMBOLS = 64;  // codes A and B of the code-length stream
constexpr int TB_LENGTH_LOOKUP_BITS = 8;
constexpr int TB_LENGTH_TABLE_SLOTS = (1 << TB_LENGTH_LOOKUP_BITS) + 2 * TB_LENGTH_CODE_SYMBOLS;
constexpr int TB_SMALL_LENGTH_METHOD_MAX = 128;  // alphabets up to this size use the small method

constexpr int DECODE_ENTRY_SYMBOL_MASK = 1023;
constexpr int DECODE_ENTRY_BITS_SHIFT = 10;

// Builds the decode table of n symbols (n <= 1024) with the given lengths
// (0 = unused) and lookup width into `table` of `slots` entries
// (2^width + 2 n). Returns false for a length above 31, an over-full or
// incomplete code, or a lone code whose length is not 1. All lengths 0, or a
// lone length-1 code, decode every lookup as that symbol (0 when none) and take
// no bits.
bool buildDecodeTable(const uint8_t* lengths, int n, int width, int16_t* table, int slots);

// Reads n code lengths (both methods: the small one for n <= 128, code A and
// code B otherwise). Returns false on a broken stream: a run past n, a width
// of 0, an unusable code A or B.
bool readCodeLengths(BitReader& r, int n, uint8_t* lengths);

// Decodes one symbol with a table of lookup width `width`.
inline int decodeSymbol(BitReader& r, const int16_t* table, int width) {
  int e = table[peekBits(r, width)];
  if (e >= 0) {
    skipBits(r, e >> DECODE_ENTRY_BITS_SHIFT);
    return e & DECODE_ENTRY_SYMBOL_MASK;
  }
  skipBits(r, width);
  const int16_t* tree = table + (1 << width);
  do {
    e = tree[2 * ~e + static_cast<int>(takeBits(r, 1))];
  } while (e < 0);
  return e & DECODE_ENTRY_SYMBOL_MASK;
}
