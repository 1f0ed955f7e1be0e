#include "render/ParseColor.h"

HRESULT ParseColor(const wchar_t*, std::uint32_t*) { return E_NOTIMPL; }
HRESULT ParseHexColorDigits(const char*, std::uint32_t*) { return E_NOTIMPL; }
