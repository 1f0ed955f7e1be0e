#pragma once

// Registers a class under HKEY_CLASSES_ROOT: one script for every class, run
// with the module's replaceable parameters and the class's names.

#include <windows.h>

namespace quorvel {

// `clsid` is the "{...}" text of the class's identifier constant.
HRESULT UpdateClassRegistry(const WCHAR* clsid, const WCHAR* progId,
                            const WCHAR* versionIndependentProgId, const WCHAR* friendlyName,
                            bool registering);

} // namespace quorvel
