// The settings block: the parameter words the program sets through the module
// (setSettings) and the engine reads. Its layout is the interface's.
#pragma once
#include <cstdint>

struct Board;

// The 26-word parameter block exchanged through setSettings/getSettings.
struct EngineSettings {
  int32_t reserved0;
  int32_t varyDepth;
  int32_t reserved2;
  int32_t threads;
  int32_t contempt;
  int32_t rootAlpha;
  int32_t clearHashOnSearch;
  int32_t reserved7;
  int32_t reserved8;
  int32_t paramsSet;
  int32_t reserved10;
  int32_t reserved11;
  int32_t reserved12;
  int32_t reserved13;
  int32_t reserved14;
  int32_t reserved15;
  int32_t pawnWeight;
  int32_t pieceWeight;
  int32_t evalWeight18;
  int32_t evalWeight19;
  int32_t evalWeight20;
  int32_t evalWeight21;
  int32_t evalWeight22;
  int32_t evalWeight23;
  int32_t evalWeight24;
  int32_t maxDepth;
};
static_assert(sizeof(EngineSettings) == 26 * 4, "EngineSettings is 26 words");

extern EngineSettings activeSettings;
extern const EngineSettings initialSettings;

// The cannot-win rule (settings word 2) as the board's masks of the status
// flags that mark a side without mating material (a reset preparation sets them).
void applyCannotWinRule(Board *b);
