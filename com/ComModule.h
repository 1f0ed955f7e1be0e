#pragma once

// What the COM templates need from the server module: the lock that keeps the
// DLL loaded, the module's critical section and its termination list. The
// server module supplies them.

#include <windows.h>

namespace quorvel {

using TermFunction = void (*)(void* argument);

void LockModule() noexcept;
void UnlockModule() noexcept;
// Guards the module's lazily filled caches (type information).
CRITICAL_SECTION* ModuleCriticalSection() noexcept;
// Runs function(argument) once at module termination, last registered first.
HRESULT AddModuleTermFunction(TermFunction function, void* argument) noexcept;
// The image that holds this code: the DLL, or a test program linking it.
HMODULE ModuleInstance() noexcept;

} // namespace quorvel
