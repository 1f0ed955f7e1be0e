#pragma once

// What an effect declares, as the effect framework describes the effect it
// created (techniques, top-level parameters with semantics, vertex shaders),
// and the one thing the tool reads from the text itself: "//!render" lines.

#include <d3dx9.h>
#include <windows.h>

#include <string>
#include <vector>

namespace quorvelrender {

struct DeclaredParameter {
    std::wstring type; // as the effect would spell it: "float4", "texture", ...
    std::wstring name;
    std::wstring semantic;
};

struct EffectDeclarations {
    std::vector<std::wstring> techniques;      // those with a name, in order
    std::vector<DeclaredParameter> parameters; // top-level, with a semantic
    bool vertexShader = false;                 // a pass of some technique sets a vertex shader
};

// Reads the descriptions of an effect the framework created.
HRESULT ReadDeclarations(ID3DXEffect* effect, EffectDeclarations& declarations);

// Creates the effect at `path` through the framework module `framework` on
// `device`, as Quorvel creates it (its include fallback too), and reads its
// descriptions. The compiler's messages come back in `messages`.
HRESULT DescribeEffect(HMODULE framework, IDirect3DDevice9* device, const std::wstring& path,
                       EffectDeclarations& declarations, std::wstring& messages);

// The effect file's own "//!render" lines, each without the prefix (those of
// the files it includes are theirs); false when it cannot be read.
bool ReadRenderLines(const std::wstring& path, std::vector<std::wstring>& lines);
std::vector<std::wstring> RenderLines(const std::string& text);

// Whether Quorvel itself sets a semantic (case as D3DX matches: ignoring case).
bool IsBoundSemantic(const std::wstring& semantic);

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);

} // namespace quorvelrender
