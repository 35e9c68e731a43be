// Perft walks shared by the perft benchmark and the move-generation tests: a
// position stack set up from FEN, and the legal-move count through the staged
// picker (the plain count is the board layer's perft).
#pragma once
#include <cstdint>
#include <cstring>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/board/moves/legality.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/board/position.h"
#include "engine/search/hash.h"
#include "engine/search/ordering/picker.h"

namespace perft {

// One Position per ply: a child is always the record after its parent.
struct Stack {
  Position ply[MAX_PLY + 1];
};

// Sets up the game board from a FEN text and copies the root into stack ply 0.
// Returns false when the FEN is rejected.
inline bool setUp(Stack *s, const char *fen) {
  static bool ready = false;
  if (!ready) {
    initEngineCore();
    ready = true;
  }
  if (parseFen(fen) != 0 || setupPosition(&rootPosition, &gameRecord) != 0) return false;
  Position *root = &s->ply[0];
  memcpy(root, &rootPosition, sizeof(Position));
  root->parent = nullptr;
  resetPicker(root);
  return true;
}

// Picker walk. Options exercise the picker's paths: quiet moves history-sorted
// (nodeFlags 0x800) or lazily piece by piece, a recorded threat target whose
// quiet moves come first, and seeded candidates (the previous sibling's first
// legal reply, validated) that the picker must not hand out twice.
struct PickerOptions {
  bool sorted;
  bool threat;
  bool candidates;
};

inline uint64_t countPicker(Position *pos, int depth, const PickerOptions &o, Move *killers) {
  Position *child = pos + 1;
  pos->moveCursor = pos->moveList;
  pos->pickerStage = 0;
  pos->pieceCursor = &pos->ownPieces->node;
  pos->nodeFlags &= ~(0x800 | 8 | 0x40);
  if (o.sorted && (depth & 1)) pos->nodeFlags |= 0x800;
  if (o.threat) {
    // the last piece of the list before the king, or the king itself
    PieceRecord *king = &pos->pg->pieces[pos->side > 0 ? 32 : 0];
    PieceRecord *t = king->prev->colour == pos->side ? king->prev : king;
    if (depth & 2) t = king;
    pos->threatTarget = t;
    pos->nodeFlags |= 8;
  }
  PickerMemory seen;
  clearPickerMemory(&seen);
  if (o.candidates) {
    if (killers[0] != NO_MOVE && isPseudoLegal(pos, killers[0])) pushMove(pos, killers[0]);
    if (killers[1] != NO_MOVE && killers[1] != killers[0] && isPseudoLegal(pos, killers[1]))
      pushMove(pos, killers[1]);
  }
  uint64_t nodes = 0;
  Move *childKillers = killers + 2;
  Move m;
  while ((m = pickMove(pos, &seen)) != NO_MOVE) {
    if (!makeLegal(pos, m, child)) continue;
    nodes += depth <= 1 ? 1 : countPicker(child, depth - 1, o, childKillers);
    if (killers[0] != m) {
      killers[1] = killers[0];
      killers[0] = m;
    }
    unmakeMove(child);
  }
  return nodes;
}

inline uint64_t countPicker(Position *pos, int depth, const PickerOptions &o) {
  Move killers[2 * (MAX_PLY + 1)];
  for (Move &k : killers) k = NO_MOVE;
  return countPicker(pos, depth, o, killers);
}

}  // namespace perft
