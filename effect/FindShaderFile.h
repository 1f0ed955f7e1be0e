#pragma once

// Resolves an effect or include file name to the full path of an existing
// file: a full path, the product folder, this module's folder, the host's
// shared folder, in that order.

#include <windows.h>

HRESULT FindShaderFile(wchar_t path[MAX_PATH], const wchar_t* name);
