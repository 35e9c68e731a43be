#include "uci/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/eval/settings.h"
#include "engine/search/hash.h"
#include "platform/platform.h"
#include "uci/book.h"
#include "uci/numbers.h"
#include "uci/output.h"
#include "uci/position.h"
#include "uci/state.h"
#include "uci/tablebase_setup.h"

int processorCount = 1;

void setProcessorCount(int count) {
  if (count < 1) count = 1;
  if (count > 999) count = 999;
  processorCount = count;
  snprintf(threadsDefault, sizeof threadsDefault, "%d", count);
  snprintf(threadsBounds, sizeof threadsBounds, "min 1 max %d", count);
}

void listOptions() {
  for (const OptionRow *row = optionTable; row->name; row++) {
    if (!row->visible) continue;
    const char *value = row->value ? row->value : "";
    if (row->bounds[0])
      uciPrint("option name %s type %s default %s %s", row->name, row->type, value, row->bounds);
    else
      uciPrint("option name %s type %s default %s", row->name, row->type, value);
  }
}

OptionRow *findOption(const char *name) {
  for (OptionRow *row = optionTable; row->name; row++)
    if (equalsIgnoreCase(row->name, name)) return row;
  return nullptr;
}

static void replaceOptionValue(OptionRow *row, const char *text) {
  char *copy = strdup(text ? text : "");
  if (!copy) return;  // out of memory: the old value stays
  free(row->value);
  row->value = copy;
}

int setOptionValue(const char *name, const char *text) {
  OptionRow *row = findOption(name);
  if (!row) return 0;
  replaceOptionValue(row, text);
  return 1;
}

const char *optionValue(const char *name) {
  const OptionRow *row = findOption(name);
  return row && row->value ? row->value : "";
}

void setOptionDefaults() {
  for (OptionRow *row = optionTable; row->name; row++) replaceOptionValue(row, row->defaultValue);
}

void setStrengthFromElo(int32_t elo) {
  const StrengthLevel *level = &strengthTable[0];
  for (int i = 0; i < strengthLevels; i++)
    if (elo >= strengthTable[i].lowestElo) level = &strengthTable[i];
  engineSettings.reserved13 = level->reserved13;
  engineSettings.maxDepth = level->maxDepth;
}

void applySearchOptions() {
  // Values the engine cannot use are clamped to the listed bounds.
  engineSettings.threads = clampInt(parseInt(optionValue("Threads")), 1, processorCount);
  engineSettings.contempt = clampInt(parseInt(optionValue("Contempt")), -500, 500);
  engineSettings.clearHashOnSearch = isOn(optionValue("Clear_hash")) ? 1 : 0;
  if (isOn(optionValue("UCI_LimitStrength")))
    setStrengthFromElo(parseInt(optionValue("UCI_ELO")));
  else
    engineSettings.maxDepth = 60;
  if (engineOps.setSettings) engineOps.setSettings(&engineSettings);
  activeSettings = engineSettings;
}

uint64_t hashRequestBytes(int64_t megabytes, uint64_t physicalBytes) {
  uint64_t bytes = megabytes <= 0 ? 0 : (uint64_t)megabytes * MB;
  if (megabytes > (int64_t)(MAX_HASH_REQUEST / MB)) bytes = MAX_HASH_REQUEST;
  if (physicalBytes > 0 && bytes > physicalBytes / 2) bytes = physicalBytes / 2 / MB * MB;
  if (bytes < MIN_MODULE_HASH) bytes = MIN_MODULE_HASH;
  return bytes;
}

void setHashSize(uint64_t bytes, int men) {
  if (bytes == 0) {
    // Only the men count changes; both tables and both games stay.
    if (engineOps.initEngine) engineOps.initEngine(0, men);
    tbMen = men;
    return;
  }
  uint64_t asked = bytes < MAX_HASH_REQUEST ? bytes : MAX_HASH_REQUEST;
  bytes = hashRequestBytes((int64_t)(bytes / MB), platformPhysicalMemory());
  // Trial: how much of the request plus the game copy's table can be had.
  uint64_t got = initEngineTables(bytes + PROGRAM_HASH);
  freeHash(&hashTable);
  initEngineTables(PROGRAM_HASH);
  uint64_t share = got > PROGRAM_HASH + MIN_MODULE_HASH ? got - PROGRAM_HASH : MIN_MODULE_HASH;
  uint64_t obtained = engineOps.initEngine ? engineOps.initEngine(share, men) : 0;
  tbMen = men;
  hashSizeKb = (int64_t)(obtained / 1024);
  if (obtained < asked) reportError("Hash size was reduced", "");
  replayCurrentGame();
}

bool applyOptions() {
  // A book already open on the same file (a Book_file setting before the
  // start) is kept, so a broken file is reported once.
  bool alreadyOpen = book.file && strcmp(book.path, optionValue("Book_file")) == 0;
  if (isOn(optionValue("OwnBook")) && !alreadyOpen) {
    if (!openBook(&book, optionValue("Book_file"))) {
      uciPrint("%s", strerror(errno));
      setOptionValue("OwnBook", "false");
    }
  }
  if (engineOps.getSettings) engineOps.getSettings(&engineSettings);
  int men = setUpTablebases();
  tbhits = 0;
  int32_t megabytes = parseInt(optionValue("Hash"));
  setHashSize(megabytes < 4 ? MIN_MODULE_HASH : (uint64_t)megabytes * MB, men);
  applySearchOptions();
  return true;
}
