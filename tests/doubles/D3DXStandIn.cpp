// Definitions of the D3DX functions the product imports; see D3DXStandIn.h.

#include "tests/doubles/D3DXStandIn.h"

#include <d3dx9.h>

namespace doubles {
namespace {

FARPROC RealEntry(const char* name) {
    static HMODULE library = ::LoadLibraryW(L"d3dx9_30.dll");
    return library ? ::GetProcAddress(library, name) : nullptr;
}

template <typename F> F Real(const char* name) { return reinterpret_cast<F>(RealEntry(name)); }

CompileOutcome NextCompile() {
    D3DXStandIn& standIn = D3DXStandIn::Get();
    if (standIn.compiles.empty())
        return standIn.defaultCompile;
    CompileOutcome next = std::move(standIn.compiles.front());
    standIn.compiles.pop_front();
    return next;
}

HRESULT FinishCompile(const CompileOutcome& outcome, ID3DXEffect** effect, ID3DXBuffer** errors) {
    if (errors && outcome.messages)
        *errors = new FakeD3DXBuffer(*outcome.messages);
    if (FAILED(outcome.hr) || outcome.nullEffect || !effect)
        return outcome.hr;
    quorvel::ComPtr<FakeEffect> made = outcome.effect;
    if (!made)
        made = Make<FakeEffect>();
    D3DXStandIn::Get().effects.push_back(made);
    *effect = made.detach();
    return outcome.hr;
}

} // namespace

D3DXStandIn& D3DXStandIn::Get() {
    static D3DXStandIn standIn;
    return standIn;
}

void D3DXStandIn::Reset() {
    compiles.clear();
    defaultCompile = CompileOutcome();
    textures.clear();
    defaultTexture = TextureOutcome();
    effects.clear();
    loadedTextures.clear();
}

} // namespace doubles

using doubles::Arg;
using doubles::Call;
using doubles::CallLog;

extern "C" HRESULT WINAPI D3DXCreateEffectFromFileW(IDirect3DDevice9* device, const WCHAR* srcfile,
                                                    const D3DXMACRO* defines, ID3DXInclude* include,
                                                    DWORD flags, ID3DXEffectPool* pool,
                                                    ID3DXEffect** effect, ID3DXBuffer** errors) {
    Call call;
    call.name = "D3DXCreateEffectFromFileW";
    call.args = {Arg(device), Arg(defines), Arg(include), flags,
                 Arg(pool),   Arg(effect),  Arg(errors)};
    call.wtext = srcfile ? srcfile : L"";
    const HRESULT injected = CallLog::Get().Record(std::move(call));
    if (effect)
        *effect = nullptr;
    if (errors)
        *errors = nullptr;
    if (FAILED(injected))
        return injected;
    const doubles::CompileOutcome outcome = doubles::NextCompile();
    if (outcome.real) {
        using F = decltype(&D3DXCreateEffectFromFileW);
        F real = doubles::Real<F>("D3DXCreateEffectFromFileW");
        return real ? real(device, srcfile, defines, include, flags, pool, effect, errors) : E_FAIL;
    }
    return doubles::FinishCompile(outcome, effect, errors);
}

extern "C" HRESULT WINAPI D3DXCreateEffect(IDirect3DDevice9* device, const void* srcdata,
                                           UINT srcdatalen, const D3DXMACRO* defines,
                                           ID3DXInclude* include, DWORD flags,
                                           ID3DXEffectPool* pool, ID3DXEffect** effect,
                                           ID3DXBuffer** errors) {
    Call call;
    call.name = "D3DXCreateEffect";
    call.args = {Arg(device), Arg(srcdata), srcdatalen,  Arg(defines), Arg(include),
                 flags,       Arg(pool),    Arg(effect), Arg(errors)};
    if (srcdata)
        call.text.assign(static_cast<const char*>(srcdata), srcdatalen);
    const HRESULT injected = CallLog::Get().Record(std::move(call));
    if (effect)
        *effect = nullptr;
    if (errors)
        *errors = nullptr;
    if (FAILED(injected))
        return injected;
    const doubles::CompileOutcome outcome = doubles::NextCompile();
    if (outcome.real) {
        using F = decltype(&D3DXCreateEffect);
        F real = doubles::Real<F>("D3DXCreateEffect");
        return real ? real(device, srcdata, srcdatalen, defines, include, flags, pool, effect,
                           errors)
                    : E_FAIL;
    }
    return doubles::FinishCompile(outcome, effect, errors);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileExW(
    IDirect3DDevice9* device, const WCHAR* srcfile, UINT width, UINT height, UINT miplevels,
    DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipfilter, D3DCOLOR colorkey,
    D3DXIMAGE_INFO* srcinfo, PALETTEENTRY* palette, IDirect3DTexture9** texture) {
    Call call;
    call.name = "D3DXCreateTextureFromFileExW";
    call.args = {Arg(device),  width,        height,      miplevels, usage,
                 Arg(format),  Arg(pool),    filter,      mipfilter, colorkey,
                 Arg(srcinfo), Arg(palette), Arg(texture)};
    call.wtext = srcfile ? srcfile : L"";
    const HRESULT injected = CallLog::Get().Record(std::move(call));
    if (texture)
        *texture = nullptr;
    if (FAILED(injected))
        return injected;
    doubles::D3DXStandIn& standIn = doubles::D3DXStandIn::Get();
    doubles::TextureOutcome outcome = standIn.defaultTexture;
    if (!standIn.textures.empty()) {
        outcome = standIn.textures.front();
        standIn.textures.pop_front();
    }
    if (outcome.real) {
        using F = decltype(&D3DXCreateTextureFromFileExW);
        F real = doubles::Real<F>("D3DXCreateTextureFromFileExW");
        return real ? real(device, srcfile, width, height, miplevels, usage, format, pool, filter,
                           mipfilter, colorkey, srcinfo, palette, texture)
                    : E_FAIL;
    }
    if (FAILED(outcome.hr) || outcome.nullTexture || !texture)
        return outcome.hr;
    auto made = doubles::Make<doubles::FakeTexture>(outcome.width, outcome.height);
    standIn.loadedTextures.push_back(made);
    *texture = made.detach();
    return outcome.hr;
}

extern "C" D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1,
                                                 const D3DXMATRIX* m2) {
    Call call;
    call.name = "D3DXMatrixMultiply";
    call.args = {Arg(out), Arg(m1), Arg(m2)};
    call.faultable = false;
    CallLog::Get().Record(std::move(call));
    D3DXMATRIX product;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += m1->m[r][k] * m2->m[k][c];
            product.m[r][c] = sum;
        }
    *out = product;
    return out;
}
