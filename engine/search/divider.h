// Remainders by a divisor fixed at run time without a divide instruction: the
// quotient is a multiply-high and two shifts (the round-up method for 64-bit
// words), exact for every 64-bit numerator.
#pragma once
#include <cassert>
#include <cstdint>

struct Divider {
  uint64_t divisor;  // 2 .. 2^63
  uint64_t magic;    // floor(2^64 * (2^shift - divisor) / divisor) + 1
  int shift;         // ceil(log2(divisor)), 1..63
};

Divider makeDivider(uint64_t divisor);

inline uint64_t quotientOf(uint64_t n, const Divider &d) {
  uint64_t t = (uint64_t)(((unsigned __int128)n * d.magic) >> 64);
  return (t + ((n - t) >> 1)) >> (d.shift - 1);
}
inline uint64_t remainderOf(uint64_t n, const Divider &d) { return n - quotientOf(n, d) * d.divisor; }
