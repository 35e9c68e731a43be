// The checksum of compressed tablebase headers: a table-driven CRC-32 of the
// reflected polynomial 0xEDB88320 run over the complement of every byte,
// starting from 0 and with no final inversion.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int TB_CRC_TABLE_SIZE = 256;

// tbCrcTable[i] equals the usual reflected CRC-32 table entry of i ^ 255
// (entry 0 is 0x2D02EF8D, entry 255 is 0). Valid after initCrcTable.
extern uint32_t tbCrcTable[TB_CRC_TABLE_SIZE];

// Builds tbCrcTable once; later calls do nothing.
void initCrcTable();

// Checksum of `count` bytes; builds the table when needed.
uint32_t datacompCrc(const uint8_t* bytes, size_t count);
