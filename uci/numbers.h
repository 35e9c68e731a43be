// Reading option values and command numbers: decimal integers with saturation
// (never overflowing like atoi) and the check-option test.
#pragma once
#include <cstdint>

// Leading blanks, an optional sign, then decimal digits up to the first other
// character; a text without digits reads as 0. Saturates at the int32 limits.
int32_t parseInt(const char *text);
// The same in 64 bits.
int64_t parseInt64(const char *text);
// Character by character through tolower, both texts ending together.
bool equalsIgnoreCase(const char *a, const char *b);
// A check option is on when its text equals "true" ignoring case.
bool isOn(const char *text);
inline int32_t clampInt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }
