// The program's callbacks as the module's reports reach them, and the lock
// that keeps reports from different threads apart.
#pragma once
#include "engine/board/position.h"
#include "module/api.h"

// The callbacks the search calls. The report fields are the module's own
// wrappers, which take the report lock and then call the program's callback;
// a field the program left null stays null.
extern EngineCallbacks callbacks;

// Serialises the report callbacks of all search threads (recursive: a caller
// may hold it around a group of reports).
void lockReports();
void unlockReports();
