// The tablebase registry: finds each table's files in the directories of the
// NalimovPath option, checks them, records their paths and compressed-file
// records in the descriptors and enters their material into the tree. Fatal
// file errors print a line beginning "*** " and end the process with code 1.
//
// File names (matched case-sensitively): directory, '/', the table's name,
// for a split table '.' and the extent character, then ".nbw" (side 0) or
// ".nbb" (side 1) for a plain file; compressed files add ".emd" ("kpk.nbw.emd"),
// or, unsplit, are "kpk_nbw.emd" or "kpk_nbw_emd", or up to five men "kpknbw.emd".
// Only a regular file (or a link to one) counts: a directory or a FIFO of such
// a name is passed over like a missing file.
#pragma once

#include <cstdint>

extern int32_t tbCompressedFiles;  // compressed files opened since start (never reset)

// Registers every table found in the directories of paths (split at ',' and
// ';'; an empty entry is the current directory) and returns the largest number
// of men among them: 0 when none or when paths is null. Leaves no cache: the
// caller sets it up again with setTablebaseCache.
int initTablebases(const char* paths);

// Registers the extents of one side from one directory, from extent 0 up to
// the first one found nowhere yet; 1 when any extent is registered.
int registerTablebase(const char* dir, int id, int side);

// Registers one extent file from one directory: 1 when the extent is (or
// already was) registered, 0 when no file was found.
int registerTablebaseFile(const char* dir, int id, int side, int extent);

// Returns when the entry count agrees with the descriptor's length (or the
// length is 0); otherwise prints the corrupted-file message and exits.
void checkTablebaseSize(int id, int side, int extent, int64_t entries, const char* path);
