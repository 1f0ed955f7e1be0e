#pragma once

// A real Direct3D 9 device on a hidden window, drawing into a 64x64
// render-target texture that the tests read back.

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "com/ComPtr.h"

namespace fxtest {

constexpr UINT kSize = 64;

class FxDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Compiles from memory; `hr` and `messages` receive the results.
    quorvel::ComPtr<ID3DXEffect> Compile(const std::string& text, HRESULT* hr = nullptr,
                                         std::string* messages = nullptr);
    // A managed A8R8G8B8 texture of kSize x kSize filled by `color(x, y)`.
    quorvel::ComPtr<IDirect3DTexture9>
    MakeTexture(const std::function<D3DCOLOR(UINT, UINT)>& color);
    // Clears the target, then draws a full-target quad once per pass.
    void Draw(ID3DXEffect* effect, DWORD flags = 0);
    // The first pass over a quad given in clip space (XYZ), for effects with
    // their own vertex shader; the target starts opaque black.
    void DrawClipSpaceQuad(ID3DXEffect* effect);
    std::vector<D3DCOLOR> ReadBack();

    HWND m_hWnd = nullptr;
    quorvel::ComPtr<IDirect3D9> m_spD3D;
    quorvel::ComPtr<IDirect3DDevice9> m_spDevice;
    quorvel::ComPtr<IDirect3DTexture9> m_spTarget;
    quorvel::ComPtr<IDirect3DSurface9> m_spTargetSurface;
};

// Every channel within `tolerance` of the expected colour.
::testing::AssertionResult ColorNear(D3DCOLOR actual, D3DCOLOR expected, int tolerance);

// The pixels away from the corners, where rasterisation rules may differ.
::testing::AssertionResult InteriorIs(const std::vector<D3DCOLOR>& pixels, D3DCOLOR expected,
                                      int tolerance);

std::string MessagesText(ID3DXBuffer* buffer);

} // namespace fxtest
