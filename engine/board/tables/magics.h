// The magic attack look-ups' constants: each square's index width (kept with
// the geometry data) and multiplier (magics_data.cpp, written by tools/gen_magics).
#pragma once
#include <cstdint>

extern const int32_t rookBits[64];
extern const int32_t bishopBits[64];
extern const uint64_t rookMagic[64];
extern const uint64_t bishopMagic[64];

