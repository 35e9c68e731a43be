#include "tablebases/crc.h"

#include <cassert>

namespace {
constexpr uint32_t CRC_POLYNOMIAL = 0xEDB88320u;
bool crcTableBuilt = false;
}  // namespace

uint32_t tbCrcTable[TB_CRC_TABLE_SIZE];

void initCrcTable() {
  if (crcTableBuilt) return;
  for (uint32_t i = 0; i < TB_CRC_TABLE_SIZE; ++i) {
    uint32_t x = i;
    for (int round = 0; round < 8; ++round) {
      const uint32_t bit = x & 1;
      x >>= 1;
      if (bit == 0) x ^= CRC_POLYNOMIAL;  // the complemented bit drives the feedback
    }
    tbCrcTable[i] = x;
  }
  crcTableBuilt = true;
}

uint32_t datacompCrc(const uint8_t* bytes, size_t count) {
  assert(bytes != nullptr || count == 0);
  initCrcTable();
  uint32_t crc = 0;
  for (size_t i = 0; i < count; ++i) crc = tbCrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}
