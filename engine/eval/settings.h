// The settings block: the parameter words the program sets through the module
// (setSettings) and the engine reads. Its layout is the interface's.
#pragma once
#include <cstdint>

struct Board;

// The 26-word parameter block exchanged through setSettings/getSettings.
// Words the engine does not read keep their reserved names; percent words are
// 100 for the plain weights.
struct EngineSettings {
  int32_t reserved0;
  int32_t varyDepth;          // 1: vary the first depths of the game's early moves
  int32_t reserved2;          // the cannot-win rule: nonzero lets a side without mating material
                              // score no win, and enables the bishop case of the pawn-ending draws
  int32_t threads;            // search threads (0 or out of range: every processor)
  int32_t contempt;           // added to the score of the side the engine plays
  int32_t rootAlpha;          // the root's alpha (-MATE_SCORE: full window)
  int32_t clearHashOnSearch;  // clear the table before each search
  int32_t reserved7;
  int32_t reserved8;
  int32_t paramsSet;          // set by setSettings
  int32_t reserved10;
  int32_t reserved11;
  int32_t reserved12;         // the drawish classes: 0 turns the drawish classification off
  int32_t reserved13;
  int32_t reserved14;
  int32_t reserved15;
  int32_t pawnWeight;         // percent of the pawn value
  int32_t pieceWeight;        // percent of the piece values
  int32_t evalWeight18;       // percent: king placement and castling terms
  int32_t evalWeight19;       // percent: the draw shrink
  int32_t evalWeight20;       // percent: pawn advance
  int32_t evalWeight21;       // percent: attack terms
  int32_t evalWeight22;       // percent: file pressure on weak pawns and open files, safe squares
  int32_t evalWeight23;       // percent: king activity (centre, passed and enemy pawns)
  int32_t evalWeight24;       // percent: passed pawns
  int32_t maxDepth;           // deepest iteration
};
static_assert(sizeof(EngineSettings) == 26 * 4, "EngineSettings is 26 words");

extern EngineSettings activeSettings;
extern const EngineSettings initialSettings;

// The settings words under the names of what they switch.
inline bool cannotWinRule() { return activeSettings.reserved2 != 0; }
inline bool drawishClassesOn() { return activeSettings.reserved12 != 0; }

// The cannot-win rule (settings word 2) as the board's masks of the status
// flags that mark a side without mating material (a reset preparation sets them).
void applyCannotWinRule(Board *b);
