// Clearing and copying a fixed number of bytes in blocks of at most 64: each
// block compiles to a few plain stores, where one call for a few hundred bytes
// becomes a string instruction whose start-up costs more than the work. For
// small records cleared or copied very often (search nodes, pawn tables).
#pragma once
#include <cstddef>
#include <cstring>

constexpr size_t COPY_BLOCK = 64;

template <size_t N>
inline void clearBlocks(void *p) {
  if constexpr (N > COPY_BLOCK) {
    std::memset(p, 0, COPY_BLOCK);
    clearBlocks<N - COPY_BLOCK>((char *)p + COPY_BLOCK);
  } else {
    std::memset(p, 0, N);
  }
}

template <size_t N>
inline void copyBlocks(void *dst, const void *src) {
  if constexpr (N > COPY_BLOCK) {
    std::memcpy(dst, src, COPY_BLOCK);
    copyBlocks<N - COPY_BLOCK>((char *)dst + COPY_BLOCK, (const char *)src + COPY_BLOCK);
  } else {
    std::memcpy(dst, src, N);
  }
}
