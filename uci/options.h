// The fourteen UCI options: the table, listing, lookup and assignment, their
// first application when the engine side starts, the search settings sent to
// the module after every change, the strength levels and the hash sizing.
#pragma once
#include <cstdint>

struct OptionRow {
  const char *name;  // null ends the table
  uint8_t visible;
  const char *defaultValue;
  const char *type;    // "spin", "check" or "string"
  const char *bounds;  // "min .. max .." for spin options, "" otherwise
  char *value;         // the current value, owned by the row
};

extern OptionRow optionTable[];
// The Threads row's default and bounds, written at start-up from the processor count.
extern char threadsDefault[20];
extern char threadsBounds[20];
extern int processorCount;

struct StrengthLevel {
  int32_t lowestElo;  // the row applies from this Elo up to the next row's
  int32_t reserved13;
  int32_t maxDepth;
};
extern const StrengthLevel strengthTable[];
extern const int strengthLevels;

constexpr uint64_t MB = 1048576;
constexpr uint64_t MAX_HASH_REQUEST = 0xFFF00000ull;  // 4095 MB
constexpr uint64_t MIN_MODULE_HASH = 4 * MB;
constexpr uint64_t PROGRAM_HASH = 1 * MB;  // the game copy's own table

// Writes the processor count into the Threads row's texts.
void setProcessorCount(int count);
void listOptions();
OptionRow *findOption(const char *name);
int setOptionValue(const char *name, const char *text);
// The current value of an option ("" for a missing row or value).
const char *optionValue(const char *name);
void setOptionDefaults();
void applySearchOptions();
bool applyOptions();
// Writes reserved13 and maxDepth of the settings block for an Elo.
void setStrengthFromElo(int32_t elo);
// Sizes both tables: the game copy's 1 MB table and the module's share of the
// request, which is held within the minimum, 4095 MB and half the physical
// memory; "Hash size was reduced" when the module got less than asked. With
// bytes 0 only the tablebase men count goes to the module. The game is
// replayed onto both games afterwards, since the module rebuilds its board.
void setHashSize(uint64_t bytes, int men);
// The request actually tried for a Hash value in MB: at least the minimum,
// at most 4095 MB and half the physical memory.
uint64_t hashRequestBytes(int64_t megabytes, uint64_t physicalBytes);
