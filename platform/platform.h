// Platform layer: the few operating-system services the engine and the program
// need (clock, sleep, processor count, locked memory, threads, library loading,
// directory probing, opening regular files), written for POSIX/Linux.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Bytes of one cache line: words that different threads write often are kept
// on lines of their own (no false sharing).
constexpr size_t CACHE_LINE_BYTES = 64;

// Millisecond wall clock: seconds * 1000 + milliseconds, truncated to 32 bits.
// Only differences of two readings are meaningful.
int32_t platformMillis();
// Whole seconds of the time of day (the book's random seed).
int32_t platformTimeOfDaySeconds();
void platformSleepMs(int ms);
inline void platformSleep100() { platformSleepMs(100); }

// The 15-bit generator: state = state * 214013 + 2531011, output (state >> 16) & 0x7FFF.
// One process-wide state, seeded with 0 until platformSrand is called.
void platformSrand(uint32_t seed);
int platformRand();
struct Rand15 {
  uint32_t state;
  int next() {
    state = state * 214013u + 2531011u;
    return (int)((state >> 16) & 0x7FFF);
  }
};

// Set bits among the low 40 bits of the process affinity mask (at least 1).
int platformCpuCount();
// Physical memory in bytes (0 when unknown).
uint64_t platformPhysicalMemory();

// Large blocks aligned to this size may be backed by huge pages (fewer TLB misses).
constexpr size_t PLATFORM_HUGE_PAGE_BYTES = 2u << 20;
// Asks for huge pages for a block not touched yet; failure is not an error.
void platformAdviseHugePages(void *p, size_t bytes);

// Lock / unlock memory in RAM; failure is not an error (returns false).
bool platformLockMemory(void *p, size_t bytes);
void platformUnlockMemory(void *p, size_t bytes);

// Create a detached thread with an explicit stack size; returns 0 on success.
int platformStartThread(void *(*fn)(void *), void *arg, size_t stackBytes);

// Shared library loading by path; the directory of the running executable.
void *platformLoadLibrary(const char *path);
void *platformFindSymbol(void *library, const char *name);
std::string platformExecutableDir();

// Directory probing.
bool platformIsDirectory(const char *path);
bool platformFileSize(const char *path, uint64_t *size);
std::vector<std::string> platformListDirectory(const char *path);

// Opens a regular file (or a link to one) for binary reading. Null when the
// path cannot be opened or is anything else: a directory, a FIFO, a device.
// The open never waits (a FIFO without a writer is refused at once), and the
// type is that of what was opened, not of what a check before it saw.
FILE *platformOpenRegularFile(const char *path);

// Engine-core assertions: expression, source file and line, then exit code 1.
[[noreturn]] void platformAssertFailed(const char *expr, const char *file, int line);
#define ENGINE_ASSERT(e) ((e) ? (void)0 : platformAssertFailed(#e, __FILE__, __LINE__))
// Checks of record consistency that only debug builds pay for.
#ifdef NDEBUG
#define DEBUG_ASSERT(e) ((void)0)
#else
#define DEBUG_ASSERT(e) ENGINE_ASSERT(e)
#endif
