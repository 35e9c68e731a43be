// Save slots: a move that changes the preparation keeps the board's prepared
// state in a slot claimed for its board while its subtree is searched.
#include "engine/eval/save_slots.h"

#include <atomic>
#include <cstring>

#include "engine/eval/prepare.h"

namespace {

constexpr int PIECE_RECORDS = sizeof(Board::pieces) / sizeof(PieceRecord);
constexpr int PIECE_KINDS = sizeof(Board::kinds) / sizeof(PieceKind);

// Whatever the preparation writes into a Board. The slot is filled after the
// move was made and copied back before it is unmade, so the board shows the
// same position both times: of the piece records and kinds only the values
// the preparation sets need keeping, not the records' links and squares.
struct SaveSlot {
  std::atomic<Board *> owner;
  PreparedTables prepared;
  int32_t pieceValues[PIECE_RECORDS];
  int32_t kindValues[PIECE_KINDS];
  int16_t pawnTerms[2][128];
  uint8_t marks[2][128];
  int32_t kingActive;
  int32_t drawShrink;
  const uint8_t *kingZoneTable;
};
SaveSlot saveStack[MAX_SP];

void saveState(SaveSlot *s, const Board *b) {
  std::memcpy(&s->prepared, &b->prepared, PREPARED_BYTES);
  for (int i = 0; i < PIECE_RECORDS; i++) s->pieceValues[i] = b->pieces[i].value;
  for (int c = 0; c < PIECE_KINDS; c++) s->kindValues[c] = b->kinds[c].currentValue;
  std::memcpy(s->pawnTerms[0], b->white.pawnTerms, sizeof s->pawnTerms[0]);
  std::memcpy(s->pawnTerms[1], b->black.pawnTerms, sizeof s->pawnTerms[1]);
  std::memcpy(s->marks[0], b->white.marks, sizeof s->marks[0]);
  std::memcpy(s->marks[1], b->black.marks, sizeof s->marks[1]);
  s->kingActive = b->kingActive;
  s->drawShrink = b->drawShrink;
  s->kingZoneTable = b->kingZoneTable;
}

void restoreState(const SaveSlot *s, Board *b) {
  std::memcpy(&b->prepared, &s->prepared, PREPARED_BYTES);
  for (int i = 0; i < PIECE_RECORDS; i++) b->pieces[i].value = s->pieceValues[i];
  for (int c = 0; c < PIECE_KINDS; c++) b->kinds[c].currentValue = s->kindValues[c];
  std::memcpy(b->white.pawnTerms, s->pawnTerms[0], sizeof s->pawnTerms[0]);
  std::memcpy(b->black.pawnTerms, s->pawnTerms[1], sizeof s->pawnTerms[1]);
  std::memcpy(b->white.marks, s->marks[0], sizeof s->marks[0]);
  std::memcpy(b->black.marks, s->marks[1], sizeof s->marks[1]);
  b->kingActive = s->kingActive;
  b->drawShrink = s->drawShrink;
  b->kingZoneTable = s->kingZoneTable;
}

}  // namespace

int claimSaveSlot(Board *b) {
  for (;;) {
    bool seenFree = false;
    for (int i = 0; i < MAX_SP; i++) {
      if (saveStack[i].owner.load(std::memory_order_relaxed) != nullptr) continue;
      seenFree = true;
      Board *expected = nullptr;
      if (saveStack[i].owner.compare_exchange_strong(expected, b, std::memory_order_acq_rel)) return i;
    }
    if (!seenFree) return -1;  // all in use: the caller goes on without re-preparing
  }
}

void freeSaveSlot(int i) {
  if (i >= 0 && i < MAX_SP) saveStack[i].owner.store(nullptr, std::memory_order_release);
}

bool allSaveSlotsFree() { return saveSlotsInUse() == 0; }

int saveSlotsInUse() {
  int n = 0;
  for (const SaveSlot &s : saveStack)
    if (s.owner.load(std::memory_order_relaxed) != nullptr) n++;
  return n;
}

void releaseAllSaveSlots() {
  for (SaveSlot &s : saveStack) s.owner.store(nullptr, std::memory_order_relaxed);
}

void fillSaveSlot(int i, const Board *b) { saveState(&saveStack[i], b); }

void restoreSaveSlot(int i, Board *b) { restoreState(&saveStack[i], b); }
