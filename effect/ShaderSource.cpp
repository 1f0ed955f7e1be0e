#include "effect/ShaderSource.h"

HRESULT LoadShaderSource(const std::string&, std::string&) { return E_NOTIMPL; }
