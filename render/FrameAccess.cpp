#include "render/FrameAccess.h"

#include "com/ComPtr.h"
#include "com/HResult.h"
#include "transform/MediaTransform.h"

using quorvel::ComPtr;

HRESULT GetFrameSurface(IUnknown* frame, IDirect3DSurface9** surface, RECT* rect) {
    RETURN_HR_IF(E_POINTER, frame == nullptr || surface == nullptr);
    *surface = nullptr;
    ComPtr<IMediaFrame> mediaFrame;
    RETURN_IF_FAILED(quorvel::QueryTo(frame, IID_IMediaFrame, mediaFrame));
    RETURN_HR_IF_NULL(E_POINTER, mediaFrame.get());
    ComPtr<IUnknown> unknown;
    RETURN_IF_FAILED(mediaFrame->GetSurface(unknown.put()));
    // The host hands the surface out untyped; it is queried before any
    // surface method is called, so a frame that is no surface fails cleanly.
    ComPtr<IDirect3DSurface9> typed;
    RETURN_IF_FAILED(quorvel::QueryTo(unknown.get(), IID_IDirect3DSurface9, typed));
    RETURN_HR_IF_NULL(E_POINTER, typed.get());
    D3DSURFACE_DESC desc = {};
    RETURN_IF_FAILED(typed->GetDesc(&desc));
    if (rect)
        ::SetRect(rect, 0, 0, static_cast<int>(desc.Width), static_cast<int>(desc.Height));
    *surface = typed.detach();
    return S_OK;
}

HRESULT GetFrameTexture(IUnknown* frame, IDirect3DTexture9** texture, RECT* rect) {
    RETURN_HR_IF(E_POINTER, frame == nullptr || texture == nullptr);
    *texture = nullptr;
    ComPtr<IDirect3DSurface9> surface;
    RETURN_IF_FAILED(GetFrameSurface(frame, surface.put(), rect));
    ComPtr<IDirect3DTexture9> container;
    RETURN_IF_FAILED(surface->GetContainer(IID_IDirect3DTexture9, container.put_void()));
    RETURN_HR_IF_NULL(E_POINTER, container.get());
    *texture = container.detach();
    return S_OK;
}
