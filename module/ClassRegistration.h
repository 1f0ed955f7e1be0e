#pragma once

// Registers a class under HKEY_CLASSES_ROOT: one script for every class, run
// with the module's replaceable parameters and the class's names.

#include <windows.h>

namespace quorvel {

struct ClassRegistryNames {
    // "{...}": the text of the class's identifier constant.
    const WCHAR* clsid;
    const WCHAR* progId;
    const WCHAR* versionIndependentProgId;
    const WCHAR* friendlyName;
};

HRESULT UpdateClassRegistry(const ClassRegistryNames& names, bool registering);

} // namespace quorvel
