#pragma once

// The effect object: a parsed effect bound to one device.

#include <d3d9.h>
#include <d3dx9.h>

#include <string>

#include "host/fx/FxSyntax.h"

namespace fxhost {

// Resolves the states, assembles the shaders and creates the effect; on
// failure the reasons are appended to `messages`.
HRESULT CreateEffectObject(IDirect3DDevice9* device, const fx::Effect& effect,
                           std::string& messages, ID3DXEffect** out);

} // namespace fxhost
