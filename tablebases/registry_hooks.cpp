#include "tablebases/registry_hooks.h"

void (*tbInitEnumerationsHook)() = nullptr;
