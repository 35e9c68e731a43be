// The opening book: one binary file of sorted 12-byte records keyed by the low
// 48 bits of a position's Zobrist key; a probe picks one of the position's
// moves at random, by weight, after thinning the light ones by selectivity.
#pragma once
#include <cstdint>
#include <cstdio>

#include "engine/board/position.h"

constexpr int BOOK_RECORD_BYTES = 12;
constexpr int BOOK_KEY_BYTES = 6;
constexpr int MAX_BOOK_MOVES = 100;  // candidates gathered for one position
constexpr int BOOK_PATH_SIZE = 1024;

struct BookFile {
  FILE *file;         // null when closed
  int32_t count;      // whole records in the file
  uint32_t bookSeed;  // state of the random choice
  int32_t faulty;     // set once a broken file has been reported; probes then give NO_MOVE
  char path[BOOK_PATH_SIZE];
};

extern BookFile book;

// One gathered (move, weight) pair of a position.
struct BookCandidate {
  Move move;
  uint16_t weight;
};

// Closes any previous file, opens path for binary reading. Returns true when
// open; on false the book is closed and errno tells why (the caller prints
// strerror). An empty file or one with a partial last record opens, and is
// reported once as an error line.
bool openBook(BookFile *b, const char *path);
void closeBook(BookFile *b);

// A legal move of the position from the book, or NO_MOVE. The position is the
// program's game copy (rootPosition); its board is used for the legality test
// and left exactly as found.
Move probeBook(BookFile *b, const Position *pos, int selectivity);

// Byte-wise comparison of 6 key bytes with the key of a record.
int compareBookKey(const uint8_t *key, const uint8_t *record);

// The weighted choice among gathered candidates: thins by selectivity, then
// advances *seed one step and returns the index picked, or -1 when the
// weights total 0 (the seed is then left as it was).
int chooseBookCandidate(BookCandidate *list, int n, int selectivity, uint32_t *seed);

// Where the book's error lines go: reportError, unless replaced (tests).
extern void (*bookErrorReporter)(const char *message, const char *detail);
