#pragma once

// Runs a class's registry script under HKEY_CLASSES_ROOT with the module's
// replaceable parameters and the class's friendly name.

#include <windows.h>

namespace quorvel {

HRESULT UpdateClassRegistry(const WCHAR* script, const WCHAR* friendlyName, bool registering);

} // namespace quorvel
