// Module interface (placeholder entry point until the interface lands).
#include "engine/interface.h"
extern "C" void *EngineInit(EngineCallbacks *, EngineOps *) { return nullptr; }
