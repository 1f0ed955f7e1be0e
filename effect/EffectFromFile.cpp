#include "effect/EffectFromFile.h"

#include "com/CodePage.h"
#include "com/ComPtr.h"
#include "effect/ShaderSource.h"

#include <climits>
#include <cstring>
#include <string>

namespace quorvel {
namespace {

// What the compiler says when an "#include" names a file it cannot find.
constexpr wchar_t kCannotOpenSource[] = L"error X1507: failed to open source file";

} // namespace

std::wstring CompilerMessages(ID3DXBuffer* messages) {
    const char* text = static_cast<const char*>(messages->GetBufferPointer());
    if (!text)
        return std::wstring();
    std::wstring wide;
    if (FAILED(Widen({text, ::strnlen(text, messages->GetBufferSize())}, wide)))
        return std::wstring();
    return wide;
}

HRESULT CreateEffectFromFile(const EffectCompiler& compiler, IDirect3DDevice9* device,
                             const wchar_t* path, ID3DXEffect** effect, ID3DXBuffer** messages) {
    if (!effect || !messages)
        return E_POINTER;
    *effect = nullptr;
    *messages = nullptr;
    ComPtr<ID3DXEffect> made;
    ComPtr<ID3DXBuffer> said;
    HRESULT hr =
        compiler.fromFile(device, path, nullptr, nullptr, 0, nullptr, made.put(), said.put());

    // An include the compiler could not find: expand the includes ourselves
    // and compile the text from memory.
    if (said && CompilerMessages(said.get()).find(kCannotOpenSource) != std::wstring::npos) {
        made.reset();
        said.reset();
        std::string narrowPath;
        std::string text;
        // A path the code page cannot spell is not found: a best-fit or
        // default-character path could name another file.
        hr = NarrowPath(path, narrowPath);
        if (SUCCEEDED(hr))
            hr = LoadShaderSource(narrowPath, text);
        if (SUCCEEDED(hr) && text.size() > UINT_MAX)
            hr = E_OUTOFMEMORY;
        if (SUCCEEDED(hr))
            hr = compiler.fromMemory(device, text.data(), static_cast<UINT>(text.size()), nullptr,
                                     nullptr, 0, nullptr, made.put(), said.put());
    }
    *messages = said.detach();
    if (FAILED(hr))
        return hr;
    *effect = made.detach();
    return hr;
}

} // namespace quorvel
