#pragma once

// Creating an effect from its file as Quorvel does, for the DLL and for the
// host tools that must see the same effect: first through the compiler's own
// include handling, then, when an include is not found there, from the text
// the product's source loader expands (its search folders included).

#include <d3dx9.h>

#include <string>

namespace quorvel {

// The compiler's two entry points: the DLL passes the ones it imports, a host
// tool those of the framework it loaded.
struct EffectCompiler {
    decltype(&D3DXCreateEffectFromFileW) fromFile = nullptr;
    decltype(&D3DXCreateEffect) fromMemory = nullptr;
};

// `path` is the effect's full path. `*effect` and `*messages` are set to null
// first; the compiler's messages of the compile that counted come back in
// `*messages`, on success too.
HRESULT CreateEffectFromFile(const EffectCompiler& compiler, IDirect3DDevice9* device,
                             const wchar_t* path, ID3DXEffect** effect, ID3DXBuffer** messages);

// The compiler's narrow messages as UTF-16, never read past the buffer.
std::wstring CompilerMessages(ID3DXBuffer* messages);

} // namespace quorvel
