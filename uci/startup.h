// Start-up: the processor count, the option defaults, binding the engine
// module, and the lazy start of the engine side.
#pragma once

constexpr const char *MODULE_FILE = "tessel12.5.x64.so";

// Loads the module (from the executable's directory, then the usual library
// search) and calls its EngineInit with the program's callbacks. Prints the
// error line and returns false when it cannot be bound.
bool bindEngine();
// Mailbox, options applied (book, tables, settings), engine thread. 1 started, 0 failed.
int startEngine();
// The whole program; returns the process exit code.
int uciMain();
