#pragma once

// Runs a registry script against the registry: writing its entries, or
// removing the keys it names.

#include "module/RegistryScript.h"

#include <windows.h>

namespace quorvel {

// Registering stops at the first failing operation and leaves what was
// written; unregistering deletes every key that it can and reports the first
// failure. A key that is already missing is not an error.
HRESULT RunRegistryScript(HKEY root, std::wstring_view script, const RegistryParameters& parameters,
                          bool registering);

} // namespace quorvel
