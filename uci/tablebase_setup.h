// The program's side of the endgame tablebases: registration from the
// NalimovPath directories, the NalimovCache buffer, and the probe the module
// calls through its callback record.
#pragma once
#include "module/api.h"

// Registers the tables of NalimovPath and gives the block cache a new buffer
// of NalimovCache megabytes (the previous buffer is released once the new one
// is in place) when Use_tablebases is on. Returns the largest number of men
// among the registered tables, 0 when tablebases are off or none were found.
int setUpTablebases();

// The module's probeTablebase callback: the probe board read by the tablebase probe.
int probeTablebaseCallback(const ProbeBoard *board, int side, int epSquare, int *score);
