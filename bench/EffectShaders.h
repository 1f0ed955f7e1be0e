#pragma once

// An effect file's shaders without the effect framework: the clip soak's
// controls assemble them, or only create them on the device, clip by clip,
// so that what the framework keeps can be told from what the assembler and
// the device keep. The text is read by the stand-in framework's own parser
// and prepared for the assembler as the framework prepares it, so the
// assembler sees the same text and the device the same tokens.

#include <d3dx9.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/fx/FxAsmText.h"

namespace quorvelbench {

using AssembleShaderFn = HRESULT(WINAPI*)(const char*, UINT, const D3DXMACRO*, ID3DXInclude*, DWORD,
                                          ID3DXBuffer**, ID3DXBuffer**);

struct EffectShader {
    bool pixel = true;
    std::string text; // as the assembler reads it
    std::vector<fx::TokenInsert> inserts;
    std::vector<DWORD> code; // assembled once, for the device-only control
};

struct EffectShaders {
    // Every shader the framework assembles for the file, in its order:
    // shader variables, then each pass's own.
    std::vector<EffectShader> shaders;
    // The pixel and vertex shader of each of the technique's passes (indices
    // into `shaders`), -1 for none.
    struct Pass {
        int pixel = -1, vertex = -1;
    };
    std::vector<Pass> passes;
};

// Reads `path` (its includes beside the including file) and its shaders,
// each assembled once; `technique` names the technique whose passes draw. D3DXERR_INVALIDDATA with
// the reason in `messages` for a file the controls cannot read (HLSL left in, no such technique).
HRESULT ReadEffectShaders(const std::wstring& path, const std::string& technique,
                          AssembleShaderFn assemble, EffectShaders& shaders, std::string& messages);

// Assembles one shader as the framework does: the prepared text, then the
// tokens the assembler could not read put back.
HRESULT AssembleEffectShader(AssembleShaderFn assemble, const EffectShader& shader,
                             std::vector<DWORD>& code);

} // namespace quorvelbench
