// Call-outs of the registry to the index module. The index module sets the
// hook to its enumeration-table builder; while it is unset initTablebases
// skips that step.
#pragma once

// Builds the enumeration tables of the index functions (first call only).
extern void (*tbInitEnumerationsHook)();
