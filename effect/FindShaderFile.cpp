#include "effect/FindShaderFile.h"

HRESULT FindShaderFile(wchar_t*, const wchar_t*) { return E_NOTIMPL; }
