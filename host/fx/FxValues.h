#pragma once

// Parameter values as the framework stores them (one DWORD each: a float,
// an INT or a BOOL by the parameter's type) and its conversions between them.

#include <d3dx9.h>

namespace fxhost {

DWORD FloatBits(float f);
float BitsFloat(DWORD d);

float ToFloat(D3DXPARAMETER_TYPE type, DWORD raw);
// Floats truncate toward zero and saturate at the int range.
INT ToInt(D3DXPARAMETER_TYPE type, DWORD raw);
BOOL ToBool(D3DXPARAMETER_TYPE type, DWORD raw);
DWORD Convert(D3DXPARAMETER_TYPE to, D3DXPARAMETER_TYPE from, DWORD raw);

} // namespace fxhost
