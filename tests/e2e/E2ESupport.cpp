#include "tests/e2e/E2ESupport.h"

#include "com/HResult.h"
#include "host/render/Transform.h"

#include <memory>

namespace e2e {

std::wstring ToolFolder() { return testing_support::ProgramFolder() + L"render"; }
std::wstring LibraryFolder() { return ToolFolder() + L"\\library"; }

std::wstring MissingPieces() {
    std::wstring missing;
    for (const wchar_t* name : {L"Quorvel.dll", L"Pipeline.dll", L"d3dx9_30.dll"}) {
        const std::wstring path = ToolFolder() + L"\\" + name;
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            missing += (missing.empty() ? L"" : L", ") + std::wstring(name);
    }
    return missing;
}

IDirect3DDevice9* Device() {
    static std::unique_ptr<quorvelrender::DeviceContext> context;
    if (!context) {
        context = std::make_unique<quorvelrender::DeviceContext>();
        if (FAILED(context->Create()))
            return nullptr;
    }
    return context->device();
}

std::vector<DWORD> Pattern(UINT width, UINT height, UINT seed) {
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            UINT n = (x * 73856093u) ^ (y * 19349663u) ^ (seed * 83492791u);
            n ^= n >> 13;
            n *= 0x5bd1e995u;
            n ^= n >> 15;
            pixels[static_cast<size_t>(y) * width + x] = 0xFF000000u | (n & 0x00FFFFFFu);
        }
    }
    return pixels;
}

HRESULT Upload(const std::vector<DWORD>& pixels, UINT width, UINT height,
               IDirect3DTexture9** texture) {
    IDirect3DDevice9* device = Device();
    RETURN_HR_IF_NULL(E_FAIL, device);
    ComPtr<IDirect3DSurface9> staging;
    RETURN_IF_FAILED(device->CreateOffscreenPlainSurface(
        width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, staging.put(), nullptr));
    D3DLOCKED_RECT locked = {};
    RETURN_IF_FAILED(staging->LockRect(&locked, nullptr, 0));
    for (UINT y = 0; y < height; ++y)
        memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
               &pixels[static_cast<size_t>(y) * width], width * sizeof(DWORD));
    staging->UnlockRect();
    ComPtr<IDirect3DTexture9> result;
    RETURN_IF_FAILED(quorvelrender::CreateTargetTexture(device, width, height, result.put()));
    ComPtr<IDirect3DSurface9> level;
    RETURN_IF_FAILED(result->GetSurfaceLevel(0, level.put()));
    RETURN_IF_FAILED(device->UpdateSurface(staging.get(), nullptr, level.get(), nullptr));
    result.copy_to(texture);
    return S_OK;
}

HRESULT Target(UINT width, UINT height, IDirect3DTexture9** texture) {
    IDirect3DDevice9* device = Device();
    RETURN_HR_IF_NULL(E_FAIL, device);
    RETURN_IF_FAILED(quorvelrender::CreateTargetTexture(device, width, height, texture));
    // A colour no test expects, so an undrawn pixel shows.
    ComPtr<IDirect3DSurface9> level;
    RETURN_IF_FAILED((*texture)->GetSurfaceLevel(0, level.put()));
    return device->ColorFill(level.get(), nullptr, D3DCOLOR_ARGB(0x12, 0x34, 0x56, 0x78));
}

std::vector<DWORD> Read(IDirect3DTexture9* texture) {
    std::vector<DWORD> pixels;
    UINT w = 0, h = 0;
    if (FAILED(quorvelrender::ReadPixels(Device(), texture, pixels, w, h)))
        pixels.clear();
    return pixels;
}

HostParameter Text(const std::wstring& name, const std::wstring& value) {
    HostParameter p;
    p.name = name;
    p.from.kind = HostValue::Kind::String;
    p.from.s = value;
    return p;
}

HostParameter Int(const std::wstring& name, LONG value) {
    HostParameter p;
    p.name = name;
    p.from.kind = HostValue::Kind::Int;
    p.from.i = value;
    return p;
}

HRESULT Start(quorvelrender::Session& session, bool transition, const std::wstring& effect,
              const std::wstring& technique, UINT gridX, UINT gridY,
              const std::vector<HostParameter>& params,
              const std::vector<HostParameter>& semantics) {
    RETURN_HR_IF_NULL(E_FAIL, Device());
    RETURN_IF_FAILED(session.Open(Device(), ToolFolder(), false, transition));
    std::vector<HostParameter> all = {Text(L"ShaderFilename", effect),
                                      Text(L"Technique", technique)};
    if (gridX != 0) {
        all.push_back(Int(L"NumVerticesX", static_cast<LONG>(gridX)));
        all.push_back(Int(L"NumVerticesY", static_cast<LONG>(gridY)));
    }
    all.insert(all.end(), params.begin(), params.end());
    for (const HostParameter& p : all)
        RETURN_IF_FAILED(quorvelrender::PutParameter(session.editor(), nullptr, p));
    for (const HostParameter& p : semantics)
        RETURN_IF_FAILED(quorvelrender::PutParameter(session.editor(), L"Semantics", p));
    return session.Initialize();
}

} // namespace e2e
