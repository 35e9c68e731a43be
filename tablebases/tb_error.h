// Error values of the tablebase file reader: a 32-bit value whose low byte is
// the kind and whose higher bits number the failing check (check * 256 + kind).
// 0 is success.
#pragma once

#include <cstdint>

constexpr int32_t TB_ERROR_READ = 2;          // a read or seek failed, or came up short
constexpr int32_t TB_ERROR_NO_MEMORY = 5;     // an allocation failed
constexpr int32_t TB_ERROR_BROKEN = 6;        // the file's contents are inconsistent
constexpr int32_t TB_ERROR_BAD_ARGUMENT = 7;  // the caller passed something unusable

constexpr int32_t tbError(int32_t check, int32_t kind) { return check * 256 + kind; }
constexpr int32_t tbErrorKind(int32_t error) { return error & 0xFF; }
