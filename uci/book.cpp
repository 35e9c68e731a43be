// The opening book: binary search for the position's key in the sorted file,
// gathering of its records, weighted random choice, legality test on the
// program's game copy.
#include "uci/book.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/platform.h"
#include "uci/legal.h"
#include "uci/output.h"

BookFile book = {nullptr, 0, 0, 0, {0}};
void (*bookErrorReporter)(const char *message, const char *detail) = reportError;

static void bookError(const char *message, const char *detail) {
  if (bookErrorReporter) bookErrorReporter(message, detail);
}

// A broken file is reported once; from then on it gives no moves.
static void markFaulty(BookFile *b, const char *message) {
  if (!b->faulty) bookError(message, b->path);
  b->faulty = 1;
}

void closeBook(BookFile *b) {
  if (b->file) fclose(b->file);
  b->file = nullptr;
  b->count = 0;
  b->faulty = 0;
}

bool openBook(BookFile *b, const char *path) {
  closeBook(b);
  if (!path) path = "";
  if (strlen(path) >= sizeof b->path) {
    errno = ENAMETOOLONG;
    return false;
  }
  snprintf(b->path, sizeof b->path, "%s", path);
  // Only a regular file is a book: a directory or a device would open but
  // could not be read (or, for a pipe, block the reader).
  struct stat st;
  if (stat(b->path, &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  FILE *f = fopen(b->path, "rb");
  if (!f) return false;
  off_t size = -1;
  if (fseeko(f, 0, SEEK_END) == 0) size = ftello(f);
  if (size < 0) {
    int e = errno;
    fclose(f);
    errno = e;
    return false;
  }
  b->file = f;
  off_t records = size / BOOK_RECORD_BYTES;
  b->count = records > INT32_MAX ? INT32_MAX : (int32_t)records;
  b->bookSeed = (uint32_t)platformTimeOfDaySeconds();
  if (b->count == 0) {
    markFaulty(b, "Book file is empty");
  } else if (size % BOOK_RECORD_BYTES != 0) {
    // The whole records stay usable; the partial tail is ignored.
    bookError("Book file ends in a partial record", b->path);
  }
  return true;
}

int compareBookKey(const uint8_t *key, const uint8_t *record) {
  return memcmp(key, record, BOOK_KEY_BYTES);
}

// Reads record p (1-based). A failure marks the file broken.
static bool readRecord(BookFile *b, int32_t p, uint8_t *record) {
  off_t offset = (off_t)(p - 1) * BOOK_RECORD_BYTES;
  if (fseeko(b->file, offset, SEEK_SET) == 0 &&
      fread(record, 1, BOOK_RECORD_BYTES, b->file) == (size_t)BOOK_RECORD_BYTES)
    return true;
  clearerr(b->file);
  markFaulty(b, "Book file cannot be read");
  return false;
}

static BookCandidate candidateOf(const uint8_t *record) {
  BookCandidate c;
  c.move = (Move)(record[8] | (record[9] << 8));
  c.weight = (uint16_t)(record[10] | (record[11] << 8));
  return c;
}

int chooseBookCandidate(BookCandidate *list, int n, int selectivity, uint32_t *seed) {
  // Sums in 64 bits: a position's weights may total beyond 16 bits.
  int64_t total = 0, heaviest = 0;
  for (int i = 0; i < n; i++) {
    total += list[i].weight;
    if (list[i].weight > heaviest) heaviest = list[i].weight;
  }
  if (total == 0) return -1;
  int64_t threshold = total * selectivity / 100;
  if (threshold > heaviest) threshold = heaviest;
  for (int i = 0; i < n; i++) {
    if (list[i].weight < threshold) {
      total -= list[i].weight;
      list[i].weight = 0;
    }
  }
  Rand15 rng{*seed};
  int64_t r = ((int64_t)rng.next() * total) >> 15;
  *seed = rng.state;
  int64_t sum = 0;
  for (int i = 0; i < n; i++) {
    sum += list[i].weight;
    if (r < sum) return i;
  }
  return -1;  // not reached: r < total
}

Move probeBook(BookFile *b, const Position *pos, int selectivity) {
  if (!b->file || b->faulty || b->count <= 0) return NO_MOVE;
  uint8_t key[8];
  for (int i = 0; i < 8; i++) key[i] = (uint8_t)(pos->key >> (8 * i));

  // Binary search. The keys read so far bound every record still in range;
  // a record outside those bounds shows that the file is not sorted.
  uint8_t record[BOOK_RECORD_BYTES], below[BOOK_KEY_BYTES], above[BOOK_KEY_BYTES];
  bool haveBelow = false, haveAbove = false;
  int32_t lo = 1, hi = b->count, mid = 0;
  bool found = false;
  while (lo <= hi) {
    mid = lo + (hi - lo) / 2;
    if (!readRecord(b, mid, record)) return NO_MOVE;
    if ((haveBelow && compareBookKey(below, record) > 0) ||
        (haveAbove && compareBookKey(above, record) < 0)) {
      markFaulty(b, "Book file is not sorted");
      return NO_MOVE;
    }
    int c = compareBookKey(key, record);
    if (c < 0) {
      hi = mid - 1;
      memcpy(above, record, BOOK_KEY_BYTES);
      haveAbove = true;
    } else if (c > 0) {
      lo = mid + 1;
      memcpy(below, record, BOOK_KEY_BYTES);
      haveBelow = true;
    } else {
      found = true;
      break;
    }
  }
  if (!found) return NO_MOVE;

  // The position's records: the one found, then its neighbours before it
  // (nearest first), then those after it.
  BookCandidate list[MAX_BOOK_MOVES];
  int n = 0;
  list[n++] = candidateOf(record);
  for (int32_t p = mid - 1; p >= 1 && n < MAX_BOOK_MOVES; p--) {
    if (!readRecord(b, p, record)) return NO_MOVE;
    int c = compareBookKey(key, record);
    if (c != 0) {
      if (c < 0) {
        markFaulty(b, "Book file is not sorted");
        return NO_MOVE;
      }
      break;
    }
    list[n++] = candidateOf(record);
  }
  if (mid < hi) {
    for (int32_t p = mid + 1; p <= b->count && n < MAX_BOOK_MOVES; p++) {
      if (!readRecord(b, p, record)) return NO_MOVE;
      int c = compareBookKey(key, record);
      if (c != 0) {
        if (c > 0) {
          markFaulty(b, "Book file is not sorted");
          return NO_MOVE;
        }
        break;
      }
      list[n++] = candidateOf(record);
    }
  }

  // Moves that are not legal here (a damaged record, or castling rights,
  // which the key does not hold) take no part in the choice.
  Move legal[MAX_LEGAL_MOVES];
  int legalCount = legalMoves(pos, legal, MAX_LEGAL_MOVES);
  for (int i = 0; i < n; i++) {
    bool ok = false;
    for (int j = 0; j < legalCount && !ok; j++) ok = legal[j] == list[i].move;
    if (!ok) list[i].weight = 0;
  }

  int pick = chooseBookCandidate(list, n, selectivity, &b->bookSeed);
  return pick < 0 ? NO_MOVE : list[pick].move;
}
