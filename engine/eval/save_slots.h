// Save slots: copies of whatever the preparation writes into a Board (prepared
// tables, piece records and kinds, pawn terms, marks, king words), claimed by
// a board before a move's re-preparation and restored before its unmake.
#pragma once
#include "engine/board/board.h"

constexpr int MAX_SP = 800;  // save slots

// Claims a free save slot for a board (-1 when all are in use); frees one.
int claimSaveSlot(Board *b);
void freeSaveSlot(int i);
// Copies the board's prepared state into slot i; copies it back.
void fillSaveSlot(int i, const Board *b);
void restoreSaveSlot(int i, Board *b);
// Every save slot free? (tests and the end of each search)
bool allSaveSlotsFree();
// Save slots in use now.
int saveSlotsInUse();
// Frees every save slot (a reset preparation does).
void releaseAllSaveSlots();
