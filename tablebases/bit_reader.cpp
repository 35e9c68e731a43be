#include "tablebases/bit_reader.h"

#include <cassert>

void initBitReader(BitReader& r, const uint8_t* data, int64_t size) {
  assert(size >= 0);
  assert(data != nullptr || size == 0);
  r.data = data;
  r.size = size;
  r.pos = 0;
  r.window = 0;
  for (int i = 0; i < 4; ++i) r.window = (r.window << 8) | bitReaderFetch(r);
  r.extra = 16;
}

int64_t bitReaderConsumed(const BitReader& r) { return r.pos * 8 - (16 + r.extra); }

bool bitReaderOverrun(const BitReader& r) { return bitReaderConsumed(r) > r.size * 8; }

uint32_t takeLongBits(BitReader& r, int n) {
  assert(n >= 0 && n <= 32);
  uint32_t v = 0;
  while (n > 0) {
    const int piece = n > BIT_READER_MAX_TAKE ? BIT_READER_MAX_TAKE : n;
    v = (v << piece) | takeBits(r, piece);
    n -= piece;
  }
  return v;
}
