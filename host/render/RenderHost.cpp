#include "host/render/RenderHost.h"

#include "com/ComObject.h"
#include "com/CountedObject.h"
#include "com/HResult.h"

#include <d3dx9.h>

#include <algorithm>
#include <cstdlib>

namespace quorvelrender {
namespace {

constexpr wchar_t kWindowClass[] = L"QuorvelRenderHostWindow";

// Our single-interface host objects; the interfaces' two unused methods
// answer E_NOTIMPL.
template <typename Interface, const IID& kIid>
class HostObject : public quorvel::CountedObject<Interface> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        static constexpr quorvel::QITableEntry kInterfaces[] = {
            quorvel::QIEntry<HostObject, Interface>(kIid)};
        return quorvel::QueryFromTable(this, kInterfaces, iid, out);
    }
    HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return E_NOTIMPL; }
};

class HostDevice final : public HostObject<IMediaDevice, IID_IMediaDevice> {
  public:
    explicit HostDevice(IDirect3DDevice9* device) : m_device(device) {}
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        if (!device)
            return E_POINTER;
        m_device.copy_to(device);
        return S_OK;
    }

  private:
    ComPtr<IDirect3DDevice9> m_device;
};

class HostFrame final : public HostObject<IMediaFrame, IID_IMediaFrame> {
  public:
    explicit HostFrame(IDirect3DTexture9* texture) : m_texture(texture) {}
    HRESULT STDMETHODCALLTYPE GetSurface(IUnknown** surface) override {
        if (!surface)
            return E_POINTER;
        *surface = nullptr;
        ComPtr<IDirect3DSurface9> level;
        RETURN_IF_FAILED(m_texture->GetSurfaceLevel(0, level.put()));
        *surface = level.get();
        (*surface)->AddRef();
        return S_OK;
    }

  private:
    ComPtr<IDirect3DTexture9> m_texture;
};

// A new host object over `resource`, handed out with its one reference.
template <typename Object, typename Resource>
HRESULT CreateHostObject(Resource* resource, IUnknown** out) {
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    RETURN_HR_IF_NULL(E_POINTER, resource);
    auto* object = new (std::nothrow) Object(resource);
    RETURN_IF_NULL_ALLOC(object);
    *out = object;
    return S_OK;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

UINT Channel(DWORD pixel, int shift) { return (pixel >> shift) & 0xFF; }

} // namespace

DeviceContext::~DeviceContext() {
    m_device.reset();
    m_d3d.reset();
    if (m_window)
        ::DestroyWindow(m_window);
}

HRESULT DeviceContext::Create() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassW(&windowClass);
    // Never shown: the device only needs a window to belong to.
    m_window = ::CreateWindowW(kWindowClass, L"quorvel-render", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64,
                               nullptr, nullptr, windowClass.hInstance, nullptr);
    RETURN_HR_IF_NULL(HRESULT_FROM_WIN32(::GetLastError()), m_window);

    m_d3d.attach(::Direct3DCreate9(D3D_SDK_VERSION));
    RETURN_HR_IF_NULL(E_FAIL, m_d3d);
    D3DPRESENT_PARAMETERS present = {};
    present.Windowed = TRUE;
    present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    present.BackBufferWidth = 64;
    present.BackBufferHeight = 64;
    present.BackBufferFormat = D3DFMT_X8R8G8B8;
    present.hDeviceWindow = m_window;
    present.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window,
                               D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE,
                               &present, m_device.put());
}

HRESULT CreateHostDevice(IDirect3DDevice9* device, IUnknown** host) {
    return CreateHostObject<HostDevice>(device, host);
}

HRESULT CreateHostFrame(IDirect3DTexture9* texture, IUnknown** frame) {
    return CreateHostObject<HostFrame>(texture, frame);
}

HRESULT CreateTargetTexture(IDirect3DDevice9* device, UINT width, UINT height,
                            IDirect3DTexture9** texture) {
    return device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                 D3DPOOL_DEFAULT, texture, nullptr);
}

HRESULT LoadImageTexture(IDirect3DDevice9* device, const std::wstring& path, UINT width,
                         UINT height, IDirect3DTexture9** texture) {
    // Point filtering when the sizes agree keeps the pixels exact.
    D3DXIMAGE_INFO info = {};
    RETURN_IF_FAILED(D3DXGetImageInfoFromFileW(path.c_str(), &info));
    const DWORD filter = (info.Width == width && info.Height == height)
                             ? D3DX_FILTER_POINT
                             : D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
    return D3DXCreateTextureFromFileExW(device, path.c_str(), width, height, 1,
                                        D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                        filter, D3DX_FILTER_NONE, 0, nullptr, nullptr, texture);
}

HRESULT ReadPixels(IDirect3DDevice9* device, IDirect3DTexture9* texture, std::vector<DWORD>& pixels,
                   UINT& width, UINT& height) {
    ComPtr<IDirect3DSurface9> level;
    RETURN_IF_FAILED(texture->GetSurfaceLevel(0, level.put()));
    D3DSURFACE_DESC desc = {};
    RETURN_IF_FAILED(level->GetDesc(&desc));
    ComPtr<IDirect3DSurface9> copy;
    RETURN_IF_FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                         D3DPOOL_SYSTEMMEM, copy.put(), nullptr));
    RETURN_IF_FAILED(device->GetRenderTargetData(level.get(), copy.get()));
    D3DLOCKED_RECT locked = {};
    RETURN_IF_FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) +
                                                         static_cast<size_t>(y) * locked.Pitch);
        std::copy(row, row + desc.Width, pixels.begin() + static_cast<size_t>(y) * desc.Width);
    }
    copy->UnlockRect();
    width = desc.Width;
    height = desc.Height;
    return S_OK;
}

HRESULT SavePng(IDirect3DDevice9* device, IDirect3DSurface9* surface, const std::wstring& path) {
    D3DSURFACE_DESC desc = {};
    RETURN_IF_FAILED(surface->GetDesc(&desc));
    ComPtr<IDirect3DSurface9> copy;
    RETURN_IF_FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                         D3DPOOL_SYSTEMMEM, copy.put(), nullptr));
    RETURN_IF_FAILED(device->GetRenderTargetData(surface, copy.get()));
    return D3DXSaveSurfaceToFileW(path.c_str(), D3DXIFF_PNG, copy.get(), nullptr, nullptr);
}

HRESULT SavePng(IDirect3DDevice9* device, IDirect3DTexture9* texture, const std::wstring& path) {
    ComPtr<IDirect3DSurface9> level;
    RETURN_IF_FAILED(texture->GetSurfaceLevel(0, level.put()));
    return SavePng(device, level.get(), path);
}

Difference Compare(const std::vector<DWORD>& a, const std::vector<DWORD>& b, UINT tolerance) {
    Difference result;
    if (a.size() != b.size() || a.empty()) {
        result.largest = 255;
        result.shareOff = 1.0;
        return result;
    }
    size_t off = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        UINT largest = 0;
        // Alpha is left out: the inputs' alpha is the host's, not the effect's.
        for (int shift : {0, 8, 16})
            largest = std::max<UINT>(
                largest, static_cast<UINT>(std::abs(static_cast<int>(Channel(a[i], shift)) -
                                                    static_cast<int>(Channel(b[i], shift)))));
        result.largest = std::max(result.largest, largest);
        if (largest > tolerance)
            ++off;
    }
    result.shareOff = static_cast<double>(off) / static_cast<double>(a.size());
    return result;
}

} // namespace quorvelrender
