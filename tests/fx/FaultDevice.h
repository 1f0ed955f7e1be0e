#pragma once

// A device that forwards every call to a real one and fails the Nth call that
// returns an HRESULT, without making it. One forwarder per method of
// IDirect3DDevice9, in the order of d3d9.h.

#include <d3d9.h>

#include <string>

namespace fxtest {

constexpr HRESULT kInjectedFailure = E_OUTOFMEMORY;

class FaultDevice final : public IDirect3DDevice9 {
  public:
    explicit FaultDevice(IDirect3DDevice9* inner) : m_inner(inner) { m_inner->AddRef(); }
    ~FaultDevice() { m_inner->Release(); }
    FaultDevice(const FaultDevice&) = delete;
    FaultDevice& operator=(const FaultDevice&) = delete;

    // 0 never fails; otherwise the failAt-th counted call fails.
    void Arm(unsigned failAt) {
        m_failAt = failAt;
        m_calls = 0;
        m_failed.clear();
    }
    unsigned calls() const { return m_calls; }
    const std::string& failed() const { return m_failed; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDirect3DDevice9) {
            *out = static_cast<IDirect3DDevice9*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    // Counted for real; the test owns the object and checks that the count
    // comes back to 1.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }

    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
        if (Inject("TestCooperativeLevel"))
            return kInjectedFailure;
        return m_inner->TestCooperativeLevel();
    }

    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override {
        return m_inner->GetAvailableTextureMem();
    }

    HRESULT STDMETHODCALLTYPE EvictManagedResources() override {
        if (Inject("EvictManagedResources"))
            return kInjectedFailure;
        return m_inner->EvictManagedResources();
    }

    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** a0) override {
        if (Inject("GetDirect3D"))
            return kInjectedFailure;
        return m_inner->GetDirect3D(a0);
    }

    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* a0) override {
        if (Inject("GetDeviceCaps"))
            return kInjectedFailure;
        return m_inner->GetDeviceCaps(a0);
    }

    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT a0, D3DDISPLAYMODE* a1) override {
        if (Inject("GetDisplayMode"))
            return kInjectedFailure;
        return m_inner->GetDisplayMode(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* a0) override {
        if (Inject("GetCreationParameters"))
            return kInjectedFailure;
        return m_inner->GetCreationParameters(a0);
    }

    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT a0, UINT a1,
                                                  IDirect3DSurface9* a2) override {
        if (Inject("SetCursorProperties"))
            return kInjectedFailure;
        return m_inner->SetCursorProperties(a0, a1, a2);
    }

    void STDMETHODCALLTYPE SetCursorPosition(int a0, int a1, DWORD a2) override {
        m_inner->SetCursorPosition(a0, a1, a2);
    }

    WINBOOL STDMETHODCALLTYPE ShowCursor(WINBOOL a0) override { return m_inner->ShowCursor(a0); }

    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* a0,
                                                        IDirect3DSwapChain9** a1) override {
        if (Inject("CreateAdditionalSwapChain"))
            return kInjectedFailure;
        return m_inner->CreateAdditionalSwapChain(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetSwapChain(UINT a0, IDirect3DSwapChain9** a1) override {
        if (Inject("GetSwapChain"))
            return kInjectedFailure;
        return m_inner->GetSwapChain(a0, a1);
    }

    UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override {
        return m_inner->GetNumberOfSwapChains();
    }

    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* a0) override {
        if (Inject("Reset"))
            return kInjectedFailure;
        return m_inner->Reset(a0);
    }

    HRESULT STDMETHODCALLTYPE Present(const RECT* a0, const RECT* a1, HWND a2,
                                      const RGNDATA* a3) override {
        if (Inject("Present"))
            return kInjectedFailure;
        return m_inner->Present(a0, a1, a2, a3);
    }

    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT a0, UINT a1, D3DBACKBUFFER_TYPE a2,
                                            IDirect3DSurface9** a3) override {
        if (Inject("GetBackBuffer"))
            return kInjectedFailure;
        return m_inner->GetBackBuffer(a0, a1, a2, a3);
    }

    HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT a0, D3DRASTER_STATUS* a1) override {
        if (Inject("GetRasterStatus"))
            return kInjectedFailure;
        return m_inner->GetRasterStatus(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetDialogBoxMode(WINBOOL a0) override {
        if (Inject("SetDialogBoxMode"))
            return kInjectedFailure;
        return m_inner->SetDialogBoxMode(a0);
    }

    void STDMETHODCALLTYPE SetGammaRamp(UINT a0, DWORD a1, const D3DGAMMARAMP* a2) override {
        m_inner->SetGammaRamp(a0, a1, a2);
    }

    void STDMETHODCALLTYPE GetGammaRamp(UINT a0, D3DGAMMARAMP* a1) override {
        m_inner->GetGammaRamp(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE CreateTexture(UINT a0, UINT a1, UINT a2, DWORD a3, D3DFORMAT a4,
                                            D3DPOOL a5, IDirect3DTexture9** a6,
                                            HANDLE* a7) override {
        if (Inject("CreateTexture"))
            return kInjectedFailure;
        return m_inner->CreateTexture(a0, a1, a2, a3, a4, a5, a6, a7);
    }

    HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT a0, UINT a1, UINT a2, UINT a3, DWORD a4,
                                                  D3DFORMAT a5, D3DPOOL a6,
                                                  IDirect3DVolumeTexture9** a7,
                                                  HANDLE* a8) override {
        if (Inject("CreateVolumeTexture"))
            return kInjectedFailure;
        return m_inner->CreateVolumeTexture(a0, a1, a2, a3, a4, a5, a6, a7, a8);
    }

    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT a0, UINT a1, DWORD a2, D3DFORMAT a3,
                                                D3DPOOL a4, IDirect3DCubeTexture9** a5,
                                                HANDLE* a6) override {
        if (Inject("CreateCubeTexture"))
            return kInjectedFailure;
        return m_inner->CreateCubeTexture(a0, a1, a2, a3, a4, a5, a6);
    }

    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT a0, DWORD a1, DWORD a2, D3DPOOL a3,
                                                 IDirect3DVertexBuffer9** a4, HANDLE* a5) override {
        if (Inject("CreateVertexBuffer"))
            return kInjectedFailure;
        return m_inner->CreateVertexBuffer(a0, a1, a2, a3, a4, a5);
    }

    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT a0, DWORD a1, D3DFORMAT a2, D3DPOOL a3,
                                                IDirect3DIndexBuffer9** a4, HANDLE* a5) override {
        if (Inject("CreateIndexBuffer"))
            return kInjectedFailure;
        return m_inner->CreateIndexBuffer(a0, a1, a2, a3, a4, a5);
    }

    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT a0, UINT a1, D3DFORMAT a2,
                                                 D3DMULTISAMPLE_TYPE a3, DWORD a4, WINBOOL a5,
                                                 IDirect3DSurface9** a6, HANDLE* a7) override {
        if (Inject("CreateRenderTarget"))
            return kInjectedFailure;
        return m_inner->CreateRenderTarget(a0, a1, a2, a3, a4, a5, a6, a7);
    }

    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT a0, UINT a1, D3DFORMAT a2,
                                                        D3DMULTISAMPLE_TYPE a3, DWORD a4,
                                                        WINBOOL a5, IDirect3DSurface9** a6,
                                                        HANDLE* a7) override {
        if (Inject("CreateDepthStencilSurface"))
            return kInjectedFailure;
        return m_inner->CreateDepthStencilSurface(a0, a1, a2, a3, a4, a5, a6, a7);
    }

    HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* a0, const RECT* a1,
                                            IDirect3DSurface9* a2, const POINT* a3) override {
        if (Inject("UpdateSurface"))
            return kInjectedFailure;
        return m_inner->UpdateSurface(a0, a1, a2, a3);
    }

    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* a0,
                                            IDirect3DBaseTexture9* a1) override {
        if (Inject("UpdateTexture"))
            return kInjectedFailure;
        return m_inner->UpdateTexture(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* a0,
                                                  IDirect3DSurface9* a1) override {
        if (Inject("GetRenderTargetData"))
            return kInjectedFailure;
        return m_inner->GetRenderTargetData(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT a0, IDirect3DSurface9* a1) override {
        if (Inject("GetFrontBufferData"))
            return kInjectedFailure;
        return m_inner->GetFrontBufferData(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9* a0, const RECT* a1,
                                          IDirect3DSurface9* a2, const RECT* a3,
                                          D3DTEXTUREFILTERTYPE a4) override {
        if (Inject("StretchRect"))
            return kInjectedFailure;
        return m_inner->StretchRect(a0, a1, a2, a3, a4);
    }

    HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9* a0, const RECT* a1,
                                        D3DCOLOR a2) override {
        if (Inject("ColorFill"))
            return kInjectedFailure;
        return m_inner->ColorFill(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT a0, UINT a1, D3DFORMAT a2,
                                                          D3DPOOL a3, IDirect3DSurface9** a4,
                                                          HANDLE* a5) override {
        if (Inject("CreateOffscreenPlainSurface"))
            return kInjectedFailure;
        return m_inner->CreateOffscreenPlainSurface(a0, a1, a2, a3, a4, a5);
    }

    HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD a0, IDirect3DSurface9* a1) override {
        if (Inject("SetRenderTarget"))
            return kInjectedFailure;
        return m_inner->SetRenderTarget(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD a0, IDirect3DSurface9** a1) override {
        if (Inject("GetRenderTarget"))
            return kInjectedFailure;
        return m_inner->GetRenderTarget(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9* a0) override {
        if (Inject("SetDepthStencilSurface"))
            return kInjectedFailure;
        return m_inner->SetDepthStencilSurface(a0);
    }

    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9** a0) override {
        if (Inject("GetDepthStencilSurface"))
            return kInjectedFailure;
        return m_inner->GetDepthStencilSurface(a0);
    }

    HRESULT STDMETHODCALLTYPE BeginScene() override {
        if (Inject("BeginScene"))
            return kInjectedFailure;
        return m_inner->BeginScene();
    }

    HRESULT STDMETHODCALLTYPE EndScene() override {
        if (Inject("EndScene"))
            return kInjectedFailure;
        return m_inner->EndScene();
    }

    HRESULT STDMETHODCALLTYPE Clear(DWORD a0, const D3DRECT* a1, DWORD a2, D3DCOLOR a3, float a4,
                                    DWORD a5) override {
        if (Inject("Clear"))
            return kInjectedFailure;
        return m_inner->Clear(a0, a1, a2, a3, a4, a5);
    }

    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE a0, const D3DMATRIX* a1) override {
        if (Inject("SetTransform"))
            return kInjectedFailure;
        return m_inner->SetTransform(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE a0, D3DMATRIX* a1) override {
        if (Inject("GetTransform"))
            return kInjectedFailure;
        return m_inner->GetTransform(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE a0,
                                                const D3DMATRIX* a1) override {
        if (Inject("MultiplyTransform"))
            return kInjectedFailure;
        return m_inner->MultiplyTransform(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* a0) override {
        if (Inject("SetViewport"))
            return kInjectedFailure;
        return m_inner->SetViewport(a0);
    }

    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* a0) override {
        if (Inject("GetViewport"))
            return kInjectedFailure;
        return m_inner->GetViewport(a0);
    }

    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* a0) override {
        if (Inject("SetMaterial"))
            return kInjectedFailure;
        return m_inner->SetMaterial(a0);
    }

    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* a0) override {
        if (Inject("GetMaterial"))
            return kInjectedFailure;
        return m_inner->GetMaterial(a0);
    }

    HRESULT STDMETHODCALLTYPE SetLight(DWORD a0, const D3DLIGHT9* a1) override {
        if (Inject("SetLight"))
            return kInjectedFailure;
        return m_inner->SetLight(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetLight(DWORD a0, D3DLIGHT9* a1) override {
        if (Inject("GetLight"))
            return kInjectedFailure;
        return m_inner->GetLight(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE LightEnable(DWORD a0, WINBOOL a1) override {
        if (Inject("LightEnable"))
            return kInjectedFailure;
        return m_inner->LightEnable(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD a0, WINBOOL* a1) override {
        if (Inject("GetLightEnable"))
            return kInjectedFailure;
        return m_inner->GetLightEnable(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD a0, const float* a1) override {
        if (Inject("SetClipPlane"))
            return kInjectedFailure;
        return m_inner->SetClipPlane(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD a0, float* a1) override {
        if (Inject("GetClipPlane"))
            return kInjectedFailure;
        return m_inner->GetClipPlane(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE a0, DWORD a1) override {
        if (Inject("SetRenderState"))
            return kInjectedFailure;
        return m_inner->SetRenderState(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE a0, DWORD* a1) override {
        if (Inject("GetRenderState"))
            return kInjectedFailure;
        return m_inner->GetRenderState(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE a0,
                                               IDirect3DStateBlock9** a1) override {
        if (Inject("CreateStateBlock"))
            return kInjectedFailure;
        return m_inner->CreateStateBlock(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE BeginStateBlock() override {
        if (Inject("BeginStateBlock"))
            return kInjectedFailure;
        return m_inner->BeginStateBlock();
    }

    HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** a0) override {
        if (Inject("EndStateBlock"))
            return kInjectedFailure;
        return m_inner->EndStateBlock(a0);
    }

    HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9* a0) override {
        if (Inject("SetClipStatus"))
            return kInjectedFailure;
        return m_inner->SetClipStatus(a0);
    }

    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9* a0) override {
        if (Inject("GetClipStatus"))
            return kInjectedFailure;
        return m_inner->GetClipStatus(a0);
    }

    HRESULT STDMETHODCALLTYPE GetTexture(DWORD a0, IDirect3DBaseTexture9** a1) override {
        if (Inject("GetTexture"))
            return kInjectedFailure;
        return m_inner->GetTexture(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetTexture(DWORD a0, IDirect3DBaseTexture9* a1) override {
        if (Inject("SetTexture"))
            return kInjectedFailure;
        return m_inner->SetTexture(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD a0, D3DTEXTURESTAGESTATETYPE a1,
                                                   DWORD* a2) override {
        if (Inject("GetTextureStageState"))
            return kInjectedFailure;
        return m_inner->GetTextureStageState(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD a0, D3DTEXTURESTAGESTATETYPE a1,
                                                   DWORD a2) override {
        if (Inject("SetTextureStageState"))
            return kInjectedFailure;
        return m_inner->SetTextureStageState(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD a0, D3DSAMPLERSTATETYPE a1,
                                              DWORD* a2) override {
        if (Inject("GetSamplerState"))
            return kInjectedFailure;
        return m_inner->GetSamplerState(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD a0, D3DSAMPLERSTATETYPE a1, DWORD a2) override {
        if (Inject("SetSamplerState"))
            return kInjectedFailure;
        return m_inner->SetSamplerState(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD* a0) override {
        if (Inject("ValidateDevice"))
            return kInjectedFailure;
        return m_inner->ValidateDevice(a0);
    }

    HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT a0, const PALETTEENTRY* a1) override {
        if (Inject("SetPaletteEntries"))
            return kInjectedFailure;
        return m_inner->SetPaletteEntries(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT a0, PALETTEENTRY* a1) override {
        if (Inject("GetPaletteEntries"))
            return kInjectedFailure;
        return m_inner->GetPaletteEntries(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT a0) override {
        if (Inject("SetCurrentTexturePalette"))
            return kInjectedFailure;
        return m_inner->SetCurrentTexturePalette(a0);
    }

    HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT* a0) override {
        if (Inject("GetCurrentTexturePalette"))
            return kInjectedFailure;
        return m_inner->GetCurrentTexturePalette(a0);
    }

    HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* a0) override {
        if (Inject("SetScissorRect"))
            return kInjectedFailure;
        return m_inner->SetScissorRect(a0);
    }

    HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* a0) override {
        if (Inject("GetScissorRect"))
            return kInjectedFailure;
        return m_inner->GetScissorRect(a0);
    }

    HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(WINBOOL a0) override {
        if (Inject("SetSoftwareVertexProcessing"))
            return kInjectedFailure;
        return m_inner->SetSoftwareVertexProcessing(a0);
    }

    WINBOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override {
        return m_inner->GetSoftwareVertexProcessing();
    }

    HRESULT STDMETHODCALLTYPE SetNPatchMode(float a0) override {
        if (Inject("SetNPatchMode"))
            return kInjectedFailure;
        return m_inner->SetNPatchMode(a0);
    }

    float STDMETHODCALLTYPE GetNPatchMode() override { return m_inner->GetNPatchMode(); }

    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE a0, UINT a1, UINT a2) override {
        if (Inject("DrawPrimitive"))
            return kInjectedFailure;
        return m_inner->DrawPrimitive(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE a0, INT a1, UINT a2, UINT a3,
                                                   UINT a4, UINT a5) override {
        if (Inject("DrawIndexedPrimitive"))
            return kInjectedFailure;
        return m_inner->DrawIndexedPrimitive(a0, a1, a2, a3, a4, a5);
    }

    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE a0, UINT a1, const void* a2,
                                              UINT a3) override {
        if (Inject("DrawPrimitiveUP"))
            return kInjectedFailure;
        return m_inner->DrawPrimitiveUP(a0, a1, a2, a3);
    }

    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE a0, UINT a1, UINT a2, UINT a3,
                                                     const void* a4, D3DFORMAT a5, const void* a6,
                                                     UINT a7) override {
        if (Inject("DrawIndexedPrimitiveUP"))
            return kInjectedFailure;
        return m_inner->DrawIndexedPrimitiveUP(a0, a1, a2, a3, a4, a5, a6, a7);
    }

    HRESULT STDMETHODCALLTYPE ProcessVertices(UINT a0, UINT a1, UINT a2, IDirect3DVertexBuffer9* a3,
                                              IDirect3DVertexDeclaration9* a4, DWORD a5) override {
        if (Inject("ProcessVertices"))
            return kInjectedFailure;
        return m_inner->ProcessVertices(a0, a1, a2, a3, a4, a5);
    }

    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* a0,
                                                      IDirect3DVertexDeclaration9** a1) override {
        if (Inject("CreateVertexDeclaration"))
            return kInjectedFailure;
        return m_inner->CreateVertexDeclaration(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* a0) override {
        if (Inject("SetVertexDeclaration"))
            return kInjectedFailure;
        return m_inner->SetVertexDeclaration(a0);
    }

    HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** a0) override {
        if (Inject("GetVertexDeclaration"))
            return kInjectedFailure;
        return m_inner->GetVertexDeclaration(a0);
    }

    HRESULT STDMETHODCALLTYPE SetFVF(DWORD a0) override {
        if (Inject("SetFVF"))
            return kInjectedFailure;
        return m_inner->SetFVF(a0);
    }

    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* a0) override {
        if (Inject("GetFVF"))
            return kInjectedFailure;
        return m_inner->GetFVF(a0);
    }

    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* a0,
                                                 IDirect3DVertexShader9** a1) override {
        if (Inject("CreateVertexShader"))
            return kInjectedFailure;
        return m_inner->CreateVertexShader(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* a0) override {
        if (Inject("SetVertexShader"))
            return kInjectedFailure;
        return m_inner->SetVertexShader(a0);
    }

    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** a0) override {
        if (Inject("GetVertexShader"))
            return kInjectedFailure;
        return m_inner->GetVertexShader(a0);
    }

    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT a0, const float* a1, UINT a2) override {
        if (Inject("SetVertexShaderConstantF"))
            return kInjectedFailure;
        return m_inner->SetVertexShaderConstantF(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT a0, float* a1, UINT a2) override {
        if (Inject("GetVertexShaderConstantF"))
            return kInjectedFailure;
        return m_inner->GetVertexShaderConstantF(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT a0, const int* a1, UINT a2) override {
        if (Inject("SetVertexShaderConstantI"))
            return kInjectedFailure;
        return m_inner->SetVertexShaderConstantI(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT a0, int* a1, UINT a2) override {
        if (Inject("GetVertexShaderConstantI"))
            return kInjectedFailure;
        return m_inner->GetVertexShaderConstantI(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT a0, const WINBOOL* a1,
                                                       UINT a2) override {
        if (Inject("SetVertexShaderConstantB"))
            return kInjectedFailure;
        return m_inner->SetVertexShaderConstantB(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT a0, WINBOOL* a1, UINT a2) override {
        if (Inject("GetVertexShaderConstantB"))
            return kInjectedFailure;
        return m_inner->GetVertexShaderConstantB(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT a0, IDirect3DVertexBuffer9* a1, UINT a2,
                                              UINT a3) override {
        if (Inject("SetStreamSource"))
            return kInjectedFailure;
        return m_inner->SetStreamSource(a0, a1, a2, a3);
    }

    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT a0, IDirect3DVertexBuffer9** a1, UINT* a2,
                                              UINT* a3) override {
        if (Inject("GetStreamSource"))
            return kInjectedFailure;
        return m_inner->GetStreamSource(a0, a1, a2, a3);
    }

    HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT a0, UINT a1) override {
        if (Inject("SetStreamSourceFreq"))
            return kInjectedFailure;
        return m_inner->SetStreamSourceFreq(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT a0, UINT* a1) override {
        if (Inject("GetStreamSourceFreq"))
            return kInjectedFailure;
        return m_inner->GetStreamSourceFreq(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* a0) override {
        if (Inject("SetIndices"))
            return kInjectedFailure;
        return m_inner->SetIndices(a0);
    }

    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** a0) override {
        if (Inject("GetIndices"))
            return kInjectedFailure;
        return m_inner->GetIndices(a0);
    }

    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* a0,
                                                IDirect3DPixelShader9** a1) override {
        if (Inject("CreatePixelShader"))
            return kInjectedFailure;
        return m_inner->CreatePixelShader(a0, a1);
    }

    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* a0) override {
        if (Inject("SetPixelShader"))
            return kInjectedFailure;
        return m_inner->SetPixelShader(a0);
    }

    HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9** a0) override {
        if (Inject("GetPixelShader"))
            return kInjectedFailure;
        return m_inner->GetPixelShader(a0);
    }

    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT a0, const float* a1, UINT a2) override {
        if (Inject("SetPixelShaderConstantF"))
            return kInjectedFailure;
        return m_inner->SetPixelShaderConstantF(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT a0, float* a1, UINT a2) override {
        if (Inject("GetPixelShaderConstantF"))
            return kInjectedFailure;
        return m_inner->GetPixelShaderConstantF(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT a0, const int* a1, UINT a2) override {
        if (Inject("SetPixelShaderConstantI"))
            return kInjectedFailure;
        return m_inner->SetPixelShaderConstantI(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT a0, int* a1, UINT a2) override {
        if (Inject("GetPixelShaderConstantI"))
            return kInjectedFailure;
        return m_inner->GetPixelShaderConstantI(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT a0, const WINBOOL* a1,
                                                      UINT a2) override {
        if (Inject("SetPixelShaderConstantB"))
            return kInjectedFailure;
        return m_inner->SetPixelShaderConstantB(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT a0, WINBOOL* a1, UINT a2) override {
        if (Inject("GetPixelShaderConstantB"))
            return kInjectedFailure;
        return m_inner->GetPixelShaderConstantB(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT a0, const float* a1,
                                            const D3DRECTPATCH_INFO* a2) override {
        if (Inject("DrawRectPatch"))
            return kInjectedFailure;
        return m_inner->DrawRectPatch(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT a0, const float* a1,
                                           const D3DTRIPATCH_INFO* a2) override {
        if (Inject("DrawTriPatch"))
            return kInjectedFailure;
        return m_inner->DrawTriPatch(a0, a1, a2);
    }

    HRESULT STDMETHODCALLTYPE DeletePatch(UINT a0) override {
        if (Inject("DeletePatch"))
            return kInjectedFailure;
        return m_inner->DeletePatch(a0);
    }

    HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE a0, IDirect3DQuery9** a1) override {
        if (Inject("CreateQuery"))
            return kInjectedFailure;
        return m_inner->CreateQuery(a0, a1);
    }

  private:
    bool Inject(const char* name) {
        if (m_failAt == 0 || ++m_calls != m_failAt)
            return false;
        m_failed = name;
        return true;
    }

    IDirect3DDevice9* m_inner;
    ULONG m_refs = 1;
    unsigned m_failAt = 0;
    unsigned m_calls = 0;
    std::string m_failed;
};

} // namespace fxtest
