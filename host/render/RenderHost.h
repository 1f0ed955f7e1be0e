#pragma once

// The host's side of rendering: a Direct3D 9 device on a hidden window, the
// host objects the transforms are handed (IMediaDevice, IMediaFrame), input
// images loaded at the output size and frames read back or saved.

#include "com/ComPtr.h"
#include "transform/MediaTransform.h"

#include <d3d9.h>

#include <string>
#include <vector>

namespace quorvelrender {

using quorvel::ComPtr;

// The device with its hidden window; one per run.
class DeviceContext {
  public:
    DeviceContext() = default;
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    HRESULT Create();
    IDirect3DDevice9* device() const { return m_device.get(); }

  private:
    HWND m_window = nullptr;
    ComPtr<IDirect3D9> m_d3d;
    ComPtr<IDirect3DDevice9> m_device;
};

// IMediaDevice over our device.
HRESULT CreateHostDevice(IDirect3DDevice9* device, IUnknown** host);
// IMediaFrame whose surface is level 0 of `texture`.
HRESULT CreateHostFrame(IDirect3DTexture9* texture, IUnknown** frame);

// A render-target texture of one level.
HRESULT CreateTargetTexture(IDirect3DDevice9* device, UINT width, UINT height,
                            IDirect3DTexture9** texture);
// An image file scaled to width × height into a render-target-capable texture.
HRESULT LoadImageTexture(IDirect3DDevice9* device, const std::wstring& path, UINT width,
                         UINT height, IDirect3DTexture9** texture);

// Level 0 of a render-target texture read back as 0xAARRGGBB pixels, row-major.
HRESULT ReadPixels(IDirect3DDevice9* device, IDirect3DTexture9* texture, std::vector<DWORD>& pixels,
                   UINT& width, UINT& height);
HRESULT SavePng(IDirect3DDevice9* device, IDirect3DSurface9* surface, const std::wstring& path);
HRESULT SavePng(IDirect3DDevice9* device, IDirect3DTexture9* texture, const std::wstring& path);

// Largest per-channel difference and the share of pixels that differ at all
// (above `tolerance`), over two images of one size.
struct Difference {
    UINT largest = 0;
    double shareOff = 0.0;
};
Difference Compare(const std::vector<DWORD>& a, const std::vector<DWORD>& b, UINT tolerance);

} // namespace quorvelrender
