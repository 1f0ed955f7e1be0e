#pragma once

// Stand-ins for the D3DX entry points the product calls. The product's calls
// are unchanged: the D3DX headers declare these functions without dllimport,
// so the product's object code refers to the plain symbols, and the
// definitions in D3DXStandIn.cpp (linked into every test program that links
// quorvel_doubles, an OBJECT library) satisfy them before the import library
// is searched. A test programs the outcomes here; with `real` set a call goes
// to the real d3dx9_30.dll instead.

#include "com/ComPtr.h"
#include "tests/doubles/FakeD3D.h"
#include "tests/doubles/FakeEffect.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace doubles {

struct CompileOutcome {
    HRESULT hr = S_OK;
    // Compiler messages; no buffer comes back when unset.
    std::optional<std::string> messages;
    // A success that hands out no effect.
    bool nullEffect = false;
    // The effect handed out on success; a fresh FakeEffect when null.
    quorvel::ComPtr<FakeEffect> effect;
    // Compile with the real library (needs a real device).
    bool real = false;
};

struct TextureOutcome {
    HRESULT hr = S_OK;
    UINT width = 64;
    UINT height = 64;
    bool nullTexture = false;
    bool real = false;
};

class D3DXStandIn {
  public:
    static D3DXStandIn& Get();
    // Drops programmed outcomes and the references to what was handed out.
    void Reset();

    // One outcome per compile (from file or from memory), in order; when the
    // queue is empty, `defaultCompile` answers.
    std::deque<CompileOutcome> compiles;
    CompileOutcome defaultCompile;
    std::deque<TextureOutcome> textures;
    TextureOutcome defaultTexture;

    // Everything handed out, each holding one reference of the stand-in.
    std::vector<quorvel::ComPtr<FakeEffect>> effects;
    std::vector<quorvel::ComPtr<FakeTexture>> loadedTextures;
};

} // namespace doubles
