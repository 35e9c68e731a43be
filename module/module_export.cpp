// The engine module is the whole engine core (linked as a whole archive); the
// version script keeps EngineInit as its only exported symbol.
#include "module/api.h"
