// Most-significant-bit-first reader of a byte string, shared by the header
// streams and the compressed blocks of tablebase files.
//
// A 32-bit window holds the next bits, most significant first; `extra` is the
// number of window bits beyond 16, so at least 17 bits are always present
// after a take. Bytes past `size` read as zero and are never fetched from
// memory; `bitReaderOverrun` tells whether the bits taken went past the end.
#pragma once

#include <cstdint>

struct BitReader {
  const uint8_t* data;
  int64_t size;    // bytes that belong to the stream
  int64_t pos;     // next byte to load into the window
  uint32_t window;
  int32_t extra;   // bits in the window beyond 16
};

constexpr int BIT_READER_MAX_TAKE = 16;

// Starts reading `size` bytes at `data` (loads the first four bytes).
void initBitReader(BitReader& r, const uint8_t* data, int64_t size);

// Bits taken so far.
int64_t bitReaderConsumed(const BitReader& r);

// True when more bits were taken than the stream holds.
bool bitReaderOverrun(const BitReader& r);

inline uint32_t bitReaderFetch(BitReader& r) {
  const uint32_t b = r.pos < r.size ? r.data[r.pos] : 0;
  ++r.pos;
  return b;
}

// The next n bits (1..16) without taking them.
inline uint32_t peekBits(const BitReader& r, int n) { return r.window >> (32 - n); }

// Drops n bits (0..16), refilling two bytes whenever 16 or fewer remain.
inline void skipBits(BitReader& r, int n) {
  r.window <<= n;
  r.extra -= n;
  if (r.extra <= 0) {
    const uint32_t hi = bitReaderFetch(r);
    const uint32_t lo = bitReaderFetch(r);
    r.window |= ((hi << 8) | lo) << -r.extra;
    r.extra += 16;
  }
}

// Takes n bits (0..16) as a number.
inline uint32_t takeBits(BitReader& r, int n) {
  if (n == 0) return 0;
  const uint32_t v = peekBits(r, n);
  skipBits(r, n);
  return v;
}

// Takes n bits (0..32), in pieces of at most 16.
uint32_t takeLongBits(BitReader& r, int n);
