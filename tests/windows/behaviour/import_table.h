// Rewrites entries of a loaded module's import address table, so that the
// calls a real binary makes to system DLLs land in functions of the test's.
#pragma once

#include <windows.h>

namespace parlino::dlltest {

// Points the module's import of `function` from `library` (DLL name compared
// without case) at `replacement` and returns the address the entry held
// before, or null when the module imports no such function by name.
void *replaceImport(HMODULE module, const char *library, const char *function, void *replacement);

} // namespace parlino::dlltest
