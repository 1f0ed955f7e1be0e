#pragma once

// Generated from the platform headers: base classes that implement every
// method of the Direct3D 9 and D3DX interfaces the fakes stand in for.

#include "tests/doubles/CallLog.h"

#include <d3d9.h>
#include <d3dx9.h>

namespace doubles {

// Every method of IDirect3DDevice9 logged and answered with a neutral failure;
// the fakes override what the product calls.
class DeviceBase : public IDirect3DDevice9 {
  public:
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
        return Unexpected("IDirect3DDevice9::TestCooperativeLevel");
    }
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override {
        Unexpected("IDirect3DDevice9::GetAvailableTextureMem");
        return {};
    }
    HRESULT STDMETHODCALLTYPE EvictManagedResources() override {
        return Unexpected("IDirect3DDevice9::EvictManagedResources");
    }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9**) override {
        return Unexpected("IDirect3DDevice9::GetDirect3D");
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9*) override {
        return Unexpected("IDirect3DDevice9::GetDeviceCaps");
    }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT, D3DDISPLAYMODE*) override {
        return Unexpected("IDirect3DDevice9::GetDisplayMode");
    }
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS*) override {
        return Unexpected("IDirect3DDevice9::GetCreationParameters");
    }
    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT, UINT, IDirect3DSurface9*) override {
        return Unexpected("IDirect3DDevice9::SetCursorProperties");
    }
    void STDMETHODCALLTYPE SetCursorPosition(int, int, DWORD) override {
        Unexpected("IDirect3DDevice9::SetCursorPosition");
    }
    WINBOOL STDMETHODCALLTYPE ShowCursor(WINBOOL) override {
        Unexpected("IDirect3DDevice9::ShowCursor");
        return {};
    }
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*,
                                                        IDirect3DSwapChain9**) override {
        return Unexpected("IDirect3DDevice9::CreateAdditionalSwapChain");
    }
    HRESULT STDMETHODCALLTYPE GetSwapChain(UINT, IDirect3DSwapChain9**) override {
        return Unexpected("IDirect3DDevice9::GetSwapChain");
    }
    UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override {
        Unexpected("IDirect3DDevice9::GetNumberOfSwapChains");
        return {};
    }
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS*) override {
        return Unexpected("IDirect3DDevice9::Reset");
    }
    HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
        return Unexpected("IDirect3DDevice9::Present");
    }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE,
                                            IDirect3DSurface9**) override {
        return Unexpected("IDirect3DDevice9::GetBackBuffer");
    }
    HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT, D3DRASTER_STATUS*) override {
        return Unexpected("IDirect3DDevice9::GetRasterStatus");
    }
    HRESULT STDMETHODCALLTYPE SetDialogBoxMode(WINBOOL) override {
        return Unexpected("IDirect3DDevice9::SetDialogBoxMode");
    }
    void STDMETHODCALLTYPE SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) override {
        Unexpected("IDirect3DDevice9::SetGammaRamp");
    }
    void STDMETHODCALLTYPE GetGammaRamp(UINT, D3DGAMMARAMP*) override {
        Unexpected("IDirect3DDevice9::GetGammaRamp");
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                            IDirect3DTexture9**, HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateTexture");
    }
    HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                                  IDirect3DVolumeTexture9**, HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateVolumeTexture");
    }
    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                                IDirect3DCubeTexture9**, HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateCubeTexture");
    }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL,
                                                 IDirect3DVertexBuffer9**, HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateVertexBuffer");
    }
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL,
                                                IDirect3DIndexBuffer9**, HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateIndexBuffer");
    }
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD,
                                                 WINBOOL, IDirect3DSurface9**, HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateRenderTarget");
    }
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE,
                                                        DWORD, WINBOOL, IDirect3DSurface9**,
                                                        HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateDepthStencilSurface");
    }
    HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*,
                                            const POINT*) override {
        return Unexpected("IDirect3DDevice9::UpdateSurface");
    }
    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9*,
                                            IDirect3DBaseTexture9*) override {
        return Unexpected("IDirect3DDevice9::UpdateTexture");
    }
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) override {
        return Unexpected("IDirect3DDevice9::GetRenderTargetData");
    }
    HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT, IDirect3DSurface9*) override {
        return Unexpected("IDirect3DDevice9::GetFrontBufferData");
    }
    HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*,
                                          const RECT*, D3DTEXTUREFILTERTYPE) override {
        return Unexpected("IDirect3DDevice9::StretchRect");
    }
    HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9*, const RECT*, D3DCOLOR) override {
        return Unexpected("IDirect3DDevice9::ColorFill");
    }
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL,
                                                          IDirect3DSurface9**, HANDLE*) override {
        return Unexpected("IDirect3DDevice9::CreateOffscreenPlainSurface");
    }
    HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD, IDirect3DSurface9*) override {
        return Unexpected("IDirect3DDevice9::SetRenderTarget");
    }
    HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD, IDirect3DSurface9**) override {
        return Unexpected("IDirect3DDevice9::GetRenderTarget");
    }
    HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9*) override {
        return Unexpected("IDirect3DDevice9::SetDepthStencilSurface");
    }
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9**) override {
        return Unexpected("IDirect3DDevice9::GetDepthStencilSurface");
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override {
        return Unexpected("IDirect3DDevice9::BeginScene");
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        return Unexpected("IDirect3DDevice9::EndScene");
    }
    HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override {
        return Unexpected("IDirect3DDevice9::Clear");
    }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override {
        return Unexpected("IDirect3DDevice9::SetTransform");
    }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override {
        return Unexpected("IDirect3DDevice9::GetTransform");
    }
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override {
        return Unexpected("IDirect3DDevice9::MultiplyTransform");
    }
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9*) override {
        return Unexpected("IDirect3DDevice9::SetViewport");
    }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9*) override {
        return Unexpected("IDirect3DDevice9::GetViewport");
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9*) override {
        return Unexpected("IDirect3DDevice9::SetMaterial");
    }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9*) override {
        return Unexpected("IDirect3DDevice9::GetMaterial");
    }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD, const D3DLIGHT9*) override {
        return Unexpected("IDirect3DDevice9::SetLight");
    }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD, D3DLIGHT9*) override {
        return Unexpected("IDirect3DDevice9::GetLight");
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD, WINBOOL) override {
        return Unexpected("IDirect3DDevice9::LightEnable");
    }
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD, WINBOOL*) override {
        return Unexpected("IDirect3DDevice9::GetLightEnable");
    }
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD, const float*) override {
        return Unexpected("IDirect3DDevice9::SetClipPlane");
    }
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD, float*) override {
        return Unexpected("IDirect3DDevice9::GetClipPlane");
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE, DWORD) override {
        return Unexpected("IDirect3DDevice9::SetRenderState");
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE, DWORD*) override {
        return Unexpected("IDirect3DDevice9::GetRenderState");
    }
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) override {
        return Unexpected("IDirect3DDevice9::CreateStateBlock");
    }
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override {
        return Unexpected("IDirect3DDevice9::BeginStateBlock");
    }
    HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9**) override {
        return Unexpected("IDirect3DDevice9::EndStateBlock");
    }
    HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9*) override {
        return Unexpected("IDirect3DDevice9::SetClipStatus");
    }
    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9*) override {
        return Unexpected("IDirect3DDevice9::GetClipStatus");
    }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD, IDirect3DBaseTexture9**) override {
        return Unexpected("IDirect3DDevice9::GetTexture");
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD, IDirect3DBaseTexture9*) override {
        return Unexpected("IDirect3DDevice9::SetTexture");
    }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE,
                                                   DWORD*) override {
        return Unexpected("IDirect3DDevice9::GetTextureStageState");
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE,
                                                   DWORD) override {
        return Unexpected("IDirect3DDevice9::SetTextureStageState");
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override {
        return Unexpected("IDirect3DDevice9::GetSamplerState");
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override {
        return Unexpected("IDirect3DDevice9::SetSamplerState");
    }
    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD*) override {
        return Unexpected("IDirect3DDevice9::ValidateDevice");
    }
    HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT, const PALETTEENTRY*) override {
        return Unexpected("IDirect3DDevice9::SetPaletteEntries");
    }
    HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT, PALETTEENTRY*) override {
        return Unexpected("IDirect3DDevice9::GetPaletteEntries");
    }
    HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT) override {
        return Unexpected("IDirect3DDevice9::SetCurrentTexturePalette");
    }
    HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT*) override {
        return Unexpected("IDirect3DDevice9::GetCurrentTexturePalette");
    }
    HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT*) override {
        return Unexpected("IDirect3DDevice9::SetScissorRect");
    }
    HRESULT STDMETHODCALLTYPE GetScissorRect(RECT*) override {
        return Unexpected("IDirect3DDevice9::GetScissorRect");
    }
    HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(WINBOOL) override {
        return Unexpected("IDirect3DDevice9::SetSoftwareVertexProcessing");
    }
    WINBOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override {
        Unexpected("IDirect3DDevice9::GetSoftwareVertexProcessing");
        return {};
    }
    HRESULT STDMETHODCALLTYPE SetNPatchMode(float) override {
        return Unexpected("IDirect3DDevice9::SetNPatchMode");
    }
    float STDMETHODCALLTYPE GetNPatchMode() override {
        Unexpected("IDirect3DDevice9::GetNPatchMode");
        return {};
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override {
        return Unexpected("IDirect3DDevice9::DrawPrimitive");
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT,
                                                   UINT) override {
        return Unexpected("IDirect3DDevice9::DrawIndexedPrimitive");
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override {
        return Unexpected("IDirect3DDevice9::DrawPrimitiveUP");
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT,
                                                     const void*, D3DFORMAT, const void*,
                                                     UINT) override {
        return Unexpected("IDirect3DDevice9::DrawIndexedPrimitiveUP");
    }
    HRESULT STDMETHODCALLTYPE ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*,
                                              IDirect3DVertexDeclaration9*, DWORD) override {
        return Unexpected("IDirect3DDevice9::ProcessVertices");
    }
    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9*,
                                                      IDirect3DVertexDeclaration9**) override {
        return Unexpected("IDirect3DDevice9::CreateVertexDeclaration");
    }
    HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9*) override {
        return Unexpected("IDirect3DDevice9::SetVertexDeclaration");
    }
    HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9**) override {
        return Unexpected("IDirect3DDevice9::GetVertexDeclaration");
    }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD) override {
        return Unexpected("IDirect3DDevice9::SetFVF");
    }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD*) override {
        return Unexpected("IDirect3DDevice9::GetFVF");
    }
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) override {
        return Unexpected("IDirect3DDevice9::CreateVertexShader");
    }
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9*) override {
        return Unexpected("IDirect3DDevice9::SetVertexShader");
    }
    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9**) override {
        return Unexpected("IDirect3DDevice9::GetVertexShader");
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const float*, UINT) override {
        return Unexpected("IDirect3DDevice9::SetVertexShaderConstantF");
    }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT, float*, UINT) override {
        return Unexpected("IDirect3DDevice9::GetVertexShaderConstantF");
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT, const int*, UINT) override {
        return Unexpected("IDirect3DDevice9::SetVertexShaderConstantI");
    }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT, int*, UINT) override {
        return Unexpected("IDirect3DDevice9::GetVertexShaderConstantI");
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT, const WINBOOL*, UINT) override {
        return Unexpected("IDirect3DDevice9::SetVertexShaderConstantB");
    }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT, WINBOOL*, UINT) override {
        return Unexpected("IDirect3DDevice9::GetVertexShaderConstantB");
    }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override {
        return Unexpected("IDirect3DDevice9::SetStreamSource");
    }
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*,
                                              UINT*) override {
        return Unexpected("IDirect3DDevice9::GetStreamSource");
    }
    HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT, UINT) override {
        return Unexpected("IDirect3DDevice9::SetStreamSourceFreq");
    }
    HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT, UINT*) override {
        return Unexpected("IDirect3DDevice9::GetStreamSourceFreq");
    }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9*) override {
        return Unexpected("IDirect3DDevice9::SetIndices");
    }
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9**) override {
        return Unexpected("IDirect3DDevice9::GetIndices");
    }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD*, IDirect3DPixelShader9**) override {
        return Unexpected("IDirect3DDevice9::CreatePixelShader");
    }
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9*) override {
        return Unexpected("IDirect3DDevice9::SetPixelShader");
    }
    HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9**) override {
        return Unexpected("IDirect3DDevice9::GetPixelShader");
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const float*, UINT) override {
        return Unexpected("IDirect3DDevice9::SetPixelShaderConstantF");
    }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT, float*, UINT) override {
        return Unexpected("IDirect3DDevice9::GetPixelShaderConstantF");
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT, const int*, UINT) override {
        return Unexpected("IDirect3DDevice9::SetPixelShaderConstantI");
    }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT, int*, UINT) override {
        return Unexpected("IDirect3DDevice9::GetPixelShaderConstantI");
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT, const WINBOOL*, UINT) override {
        return Unexpected("IDirect3DDevice9::SetPixelShaderConstantB");
    }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT, WINBOOL*, UINT) override {
        return Unexpected("IDirect3DDevice9::GetPixelShaderConstantB");
    }
    HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) override {
        return Unexpected("IDirect3DDevice9::DrawRectPatch");
    }
    HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) override {
        return Unexpected("IDirect3DDevice9::DrawTriPatch");
    }
    HRESULT STDMETHODCALLTYPE DeletePatch(UINT) override {
        return Unexpected("IDirect3DDevice9::DeletePatch");
    }
    HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE, IDirect3DQuery9**) override {
        return Unexpected("IDirect3DDevice9::CreateQuery");
    }
};

// Every method of IDirect3DVertexBuffer9 logged and answered with a neutral failure;
// the fakes override what the product calls.
class VertexBufferBase : public IDirect3DVertexBuffer9 {
  public:
    HRESULT STDMETHODCALLTYPE GetDevice(struct IDirect3DDevice9**) override {
        return Unexpected("IDirect3DVertexBuffer9::GetDevice");
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override {
        return Unexpected("IDirect3DVertexBuffer9::SetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override {
        return Unexpected("IDirect3DVertexBuffer9::GetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override {
        return Unexpected("IDirect3DVertexBuffer9::FreePrivateData");
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override {
        Unexpected("IDirect3DVertexBuffer9::SetPriority");
        return {};
    }
    DWORD STDMETHODCALLTYPE GetPriority() override {
        Unexpected("IDirect3DVertexBuffer9::GetPriority");
        return {};
    }
    void STDMETHODCALLTYPE PreLoad() override { Unexpected("IDirect3DVertexBuffer9::PreLoad"); }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override {
        Unexpected("IDirect3DVertexBuffer9::GetType");
        return {};
    }
    HRESULT STDMETHODCALLTYPE Lock(UINT, UINT, void**, DWORD) override {
        return Unexpected("IDirect3DVertexBuffer9::Lock");
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        return Unexpected("IDirect3DVertexBuffer9::Unlock");
    }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC*) override {
        return Unexpected("IDirect3DVertexBuffer9::GetDesc");
    }
};

// Every method of IDirect3DIndexBuffer9 logged and answered with a neutral failure;
// the fakes override what the product calls.
class IndexBufferBase : public IDirect3DIndexBuffer9 {
  public:
    HRESULT STDMETHODCALLTYPE GetDevice(struct IDirect3DDevice9**) override {
        return Unexpected("IDirect3DIndexBuffer9::GetDevice");
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override {
        return Unexpected("IDirect3DIndexBuffer9::SetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override {
        return Unexpected("IDirect3DIndexBuffer9::GetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override {
        return Unexpected("IDirect3DIndexBuffer9::FreePrivateData");
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override {
        Unexpected("IDirect3DIndexBuffer9::SetPriority");
        return {};
    }
    DWORD STDMETHODCALLTYPE GetPriority() override {
        Unexpected("IDirect3DIndexBuffer9::GetPriority");
        return {};
    }
    void STDMETHODCALLTYPE PreLoad() override { Unexpected("IDirect3DIndexBuffer9::PreLoad"); }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override {
        Unexpected("IDirect3DIndexBuffer9::GetType");
        return {};
    }
    HRESULT STDMETHODCALLTYPE Lock(UINT, UINT, void**, DWORD) override {
        return Unexpected("IDirect3DIndexBuffer9::Lock");
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        return Unexpected("IDirect3DIndexBuffer9::Unlock");
    }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC*) override {
        return Unexpected("IDirect3DIndexBuffer9::GetDesc");
    }
};

// Every method of IDirect3DSurface9 logged and answered with a neutral failure;
// the fakes override what the product calls.
class SurfaceBase : public IDirect3DSurface9 {
  public:
    HRESULT STDMETHODCALLTYPE GetDevice(struct IDirect3DDevice9**) override {
        return Unexpected("IDirect3DSurface9::GetDevice");
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override {
        return Unexpected("IDirect3DSurface9::SetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override {
        return Unexpected("IDirect3DSurface9::GetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override {
        return Unexpected("IDirect3DSurface9::FreePrivateData");
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override {
        Unexpected("IDirect3DSurface9::SetPriority");
        return {};
    }
    DWORD STDMETHODCALLTYPE GetPriority() override {
        Unexpected("IDirect3DSurface9::GetPriority");
        return {};
    }
    void STDMETHODCALLTYPE PreLoad() override { Unexpected("IDirect3DSurface9::PreLoad"); }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override {
        Unexpected("IDirect3DSurface9::GetType");
        return {};
    }
    HRESULT STDMETHODCALLTYPE GetContainer(REFIID, void**) override {
        return Unexpected("IDirect3DSurface9::GetContainer");
    }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC*) override {
        return Unexpected("IDirect3DSurface9::GetDesc");
    }
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override {
        return Unexpected("IDirect3DSurface9::LockRect");
    }
    HRESULT STDMETHODCALLTYPE UnlockRect() override {
        return Unexpected("IDirect3DSurface9::UnlockRect");
    }
    HRESULT STDMETHODCALLTYPE GetDC(HDC*) override {
        return Unexpected("IDirect3DSurface9::GetDC");
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override {
        return Unexpected("IDirect3DSurface9::ReleaseDC");
    }
};

// Every method of IDirect3DTexture9 logged and answered with a neutral failure;
// the fakes override what the product calls.
class TextureBase : public IDirect3DTexture9 {
  public:
    HRESULT STDMETHODCALLTYPE GetDevice(struct IDirect3DDevice9**) override {
        return Unexpected("IDirect3DTexture9::GetDevice");
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override {
        return Unexpected("IDirect3DTexture9::SetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override {
        return Unexpected("IDirect3DTexture9::GetPrivateData");
    }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override {
        return Unexpected("IDirect3DTexture9::FreePrivateData");
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override {
        Unexpected("IDirect3DTexture9::SetPriority");
        return {};
    }
    DWORD STDMETHODCALLTYPE GetPriority() override {
        Unexpected("IDirect3DTexture9::GetPriority");
        return {};
    }
    void STDMETHODCALLTYPE PreLoad() override { Unexpected("IDirect3DTexture9::PreLoad"); }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override {
        Unexpected("IDirect3DTexture9::GetType");
        return {};
    }
    DWORD STDMETHODCALLTYPE SetLOD(DWORD) override {
        Unexpected("IDirect3DTexture9::SetLOD");
        return {};
    }
    DWORD STDMETHODCALLTYPE GetLOD() override {
        Unexpected("IDirect3DTexture9::GetLOD");
        return {};
    }
    DWORD STDMETHODCALLTYPE GetLevelCount() override {
        Unexpected("IDirect3DTexture9::GetLevelCount");
        return {};
    }
    HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE) override {
        return Unexpected("IDirect3DTexture9::SetAutoGenFilterType");
    }
    D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override {
        Unexpected("IDirect3DTexture9::GetAutoGenFilterType");
        return {};
    }
    void STDMETHODCALLTYPE GenerateMipSubLevels() override {
        Unexpected("IDirect3DTexture9::GenerateMipSubLevels");
    }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT, D3DSURFACE_DESC*) override {
        return Unexpected("IDirect3DTexture9::GetLevelDesc");
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT, IDirect3DSurface9**) override {
        return Unexpected("IDirect3DTexture9::GetSurfaceLevel");
    }
    HRESULT STDMETHODCALLTYPE LockRect(UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override {
        return Unexpected("IDirect3DTexture9::LockRect");
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT) override {
        return Unexpected("IDirect3DTexture9::UnlockRect");
    }
    HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT*) override {
        return Unexpected("IDirect3DTexture9::AddDirtyRect");
    }
};

// Every method of ID3DXEffect logged and answered with a neutral failure;
// the fakes override what the product calls.
class EffectBase : public ID3DXEffect {
  public:
    HRESULT STDMETHODCALLTYPE GetDesc(D3DXEFFECT_DESC*) override {
        return Unexpected("ID3DXEffect::GetDesc");
    }
    HRESULT STDMETHODCALLTYPE GetParameterDesc(D3DXHANDLE, D3DXPARAMETER_DESC*) override {
        return Unexpected("ID3DXEffect::GetParameterDesc");
    }
    HRESULT STDMETHODCALLTYPE GetTechniqueDesc(D3DXHANDLE, D3DXTECHNIQUE_DESC*) override {
        return Unexpected("ID3DXEffect::GetTechniqueDesc");
    }
    HRESULT STDMETHODCALLTYPE GetPassDesc(D3DXHANDLE, D3DXPASS_DESC*) override {
        return Unexpected("ID3DXEffect::GetPassDesc");
    }
    HRESULT STDMETHODCALLTYPE GetFunctionDesc(D3DXHANDLE, D3DXFUNCTION_DESC*) override {
        return Unexpected("ID3DXEffect::GetFunctionDesc");
    }
    D3DXHANDLE STDMETHODCALLTYPE GetParameter(D3DXHANDLE, UINT) override {
        Unexpected("ID3DXEffect::GetParameter");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetParameterByName(D3DXHANDLE, const char*) override {
        Unexpected("ID3DXEffect::GetParameterByName");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetParameterBySemantic(D3DXHANDLE, const char*) override {
        Unexpected("ID3DXEffect::GetParameterBySemantic");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetParameterElement(D3DXHANDLE, UINT) override {
        Unexpected("ID3DXEffect::GetParameterElement");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetTechnique(UINT) override {
        Unexpected("ID3DXEffect::GetTechnique");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetTechniqueByName(const char*) override {
        Unexpected("ID3DXEffect::GetTechniqueByName");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetPass(D3DXHANDLE, UINT) override {
        Unexpected("ID3DXEffect::GetPass");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetPassByName(D3DXHANDLE, const char*) override {
        Unexpected("ID3DXEffect::GetPassByName");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetFunction(UINT) override {
        Unexpected("ID3DXEffect::GetFunction");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetFunctionByName(const char*) override {
        Unexpected("ID3DXEffect::GetFunctionByName");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetAnnotation(D3DXHANDLE, UINT) override {
        Unexpected("ID3DXEffect::GetAnnotation");
        return {};
    }
    D3DXHANDLE STDMETHODCALLTYPE GetAnnotationByName(D3DXHANDLE, const char*) override {
        Unexpected("ID3DXEffect::GetAnnotationByName");
        return {};
    }
    HRESULT STDMETHODCALLTYPE SetValue(D3DXHANDLE, const void*, UINT) override {
        return Unexpected("ID3DXEffect::SetValue");
    }
    HRESULT STDMETHODCALLTYPE GetValue(D3DXHANDLE, void*, UINT) override {
        return Unexpected("ID3DXEffect::GetValue");
    }
    HRESULT STDMETHODCALLTYPE SetBool(D3DXHANDLE, WINBOOL) override {
        return Unexpected("ID3DXEffect::SetBool");
    }
    HRESULT STDMETHODCALLTYPE GetBool(D3DXHANDLE, WINBOOL*) override {
        return Unexpected("ID3DXEffect::GetBool");
    }
    HRESULT STDMETHODCALLTYPE SetBoolArray(D3DXHANDLE, const WINBOOL*, UINT) override {
        return Unexpected("ID3DXEffect::SetBoolArray");
    }
    HRESULT STDMETHODCALLTYPE GetBoolArray(D3DXHANDLE, WINBOOL*, UINT) override {
        return Unexpected("ID3DXEffect::GetBoolArray");
    }
    HRESULT STDMETHODCALLTYPE SetInt(D3DXHANDLE, INT) override {
        return Unexpected("ID3DXEffect::SetInt");
    }
    HRESULT STDMETHODCALLTYPE GetInt(D3DXHANDLE, INT*) override {
        return Unexpected("ID3DXEffect::GetInt");
    }
    HRESULT STDMETHODCALLTYPE SetIntArray(D3DXHANDLE, const INT*, UINT) override {
        return Unexpected("ID3DXEffect::SetIntArray");
    }
    HRESULT STDMETHODCALLTYPE GetIntArray(D3DXHANDLE, INT*, UINT) override {
        return Unexpected("ID3DXEffect::GetIntArray");
    }
    HRESULT STDMETHODCALLTYPE SetFloat(D3DXHANDLE, FLOAT) override {
        return Unexpected("ID3DXEffect::SetFloat");
    }
    HRESULT STDMETHODCALLTYPE GetFloat(D3DXHANDLE, FLOAT*) override {
        return Unexpected("ID3DXEffect::GetFloat");
    }
    HRESULT STDMETHODCALLTYPE SetFloatArray(D3DXHANDLE, const FLOAT*, UINT) override {
        return Unexpected("ID3DXEffect::SetFloatArray");
    }
    HRESULT STDMETHODCALLTYPE GetFloatArray(D3DXHANDLE, FLOAT*, UINT) override {
        return Unexpected("ID3DXEffect::GetFloatArray");
    }
    HRESULT STDMETHODCALLTYPE SetVector(D3DXHANDLE, const D3DXVECTOR4*) override {
        return Unexpected("ID3DXEffect::SetVector");
    }
    HRESULT STDMETHODCALLTYPE GetVector(D3DXHANDLE, D3DXVECTOR4*) override {
        return Unexpected("ID3DXEffect::GetVector");
    }
    HRESULT STDMETHODCALLTYPE SetVectorArray(D3DXHANDLE, const D3DXVECTOR4*, UINT) override {
        return Unexpected("ID3DXEffect::SetVectorArray");
    }
    HRESULT STDMETHODCALLTYPE GetVectorArray(D3DXHANDLE, D3DXVECTOR4*, UINT) override {
        return Unexpected("ID3DXEffect::GetVectorArray");
    }
    HRESULT STDMETHODCALLTYPE SetMatrix(D3DXHANDLE, const D3DXMATRIX*) override {
        return Unexpected("ID3DXEffect::SetMatrix");
    }
    HRESULT STDMETHODCALLTYPE GetMatrix(D3DXHANDLE, D3DXMATRIX*) override {
        return Unexpected("ID3DXEffect::GetMatrix");
    }
    HRESULT STDMETHODCALLTYPE SetMatrixArray(D3DXHANDLE, const D3DXMATRIX*, UINT) override {
        return Unexpected("ID3DXEffect::SetMatrixArray");
    }
    HRESULT STDMETHODCALLTYPE GetMatrixArray(D3DXHANDLE, D3DXMATRIX*, UINT) override {
        return Unexpected("ID3DXEffect::GetMatrixArray");
    }
    HRESULT STDMETHODCALLTYPE SetMatrixPointerArray(D3DXHANDLE, const D3DXMATRIX**, UINT) override {
        return Unexpected("ID3DXEffect::SetMatrixPointerArray");
    }
    HRESULT STDMETHODCALLTYPE GetMatrixPointerArray(D3DXHANDLE, D3DXMATRIX**, UINT) override {
        return Unexpected("ID3DXEffect::GetMatrixPointerArray");
    }
    HRESULT STDMETHODCALLTYPE SetMatrixTranspose(D3DXHANDLE, const D3DXMATRIX*) override {
        return Unexpected("ID3DXEffect::SetMatrixTranspose");
    }
    HRESULT STDMETHODCALLTYPE GetMatrixTranspose(D3DXHANDLE, D3DXMATRIX*) override {
        return Unexpected("ID3DXEffect::GetMatrixTranspose");
    }
    HRESULT STDMETHODCALLTYPE SetMatrixTransposeArray(D3DXHANDLE, const D3DXMATRIX*,
                                                      UINT) override {
        return Unexpected("ID3DXEffect::SetMatrixTransposeArray");
    }
    HRESULT STDMETHODCALLTYPE GetMatrixTransposeArray(D3DXHANDLE, D3DXMATRIX*, UINT) override {
        return Unexpected("ID3DXEffect::GetMatrixTransposeArray");
    }
    HRESULT STDMETHODCALLTYPE SetMatrixTransposePointerArray(D3DXHANDLE, const D3DXMATRIX**,
                                                             UINT) override {
        return Unexpected("ID3DXEffect::SetMatrixTransposePointerArray");
    }
    HRESULT STDMETHODCALLTYPE GetMatrixTransposePointerArray(D3DXHANDLE, D3DXMATRIX**,
                                                             UINT) override {
        return Unexpected("ID3DXEffect::GetMatrixTransposePointerArray");
    }
    HRESULT STDMETHODCALLTYPE SetString(D3DXHANDLE, const char*) override {
        return Unexpected("ID3DXEffect::SetString");
    }
    HRESULT STDMETHODCALLTYPE GetString(D3DXHANDLE, const char**) override {
        return Unexpected("ID3DXEffect::GetString");
    }
    HRESULT STDMETHODCALLTYPE SetTexture(D3DXHANDLE, struct IDirect3DBaseTexture9*) override {
        return Unexpected("ID3DXEffect::SetTexture");
    }
    HRESULT STDMETHODCALLTYPE GetTexture(D3DXHANDLE, struct IDirect3DBaseTexture9**) override {
        return Unexpected("ID3DXEffect::GetTexture");
    }
    HRESULT STDMETHODCALLTYPE GetPixelShader(D3DXHANDLE, struct IDirect3DPixelShader9**) override {
        return Unexpected("ID3DXEffect::GetPixelShader");
    }
    HRESULT STDMETHODCALLTYPE GetVertexShader(D3DXHANDLE,
                                              struct IDirect3DVertexShader9**) override {
        return Unexpected("ID3DXEffect::GetVertexShader");
    }
    HRESULT STDMETHODCALLTYPE SetArrayRange(D3DXHANDLE, UINT, UINT) override {
        return Unexpected("ID3DXEffect::SetArrayRange");
    }
    HRESULT STDMETHODCALLTYPE GetPool(ID3DXEffectPool**) override {
        return Unexpected("ID3DXEffect::GetPool");
    }
    HRESULT STDMETHODCALLTYPE SetTechnique(D3DXHANDLE) override {
        return Unexpected("ID3DXEffect::SetTechnique");
    }
    D3DXHANDLE STDMETHODCALLTYPE GetCurrentTechnique() override {
        Unexpected("ID3DXEffect::GetCurrentTechnique");
        return {};
    }
    HRESULT STDMETHODCALLTYPE ValidateTechnique(D3DXHANDLE) override {
        return Unexpected("ID3DXEffect::ValidateTechnique");
    }
    HRESULT STDMETHODCALLTYPE FindNextValidTechnique(D3DXHANDLE, D3DXHANDLE*) override {
        return Unexpected("ID3DXEffect::FindNextValidTechnique");
    }
    WINBOOL STDMETHODCALLTYPE IsParameterUsed(D3DXHANDLE, D3DXHANDLE) override {
        Unexpected("ID3DXEffect::IsParameterUsed");
        return {};
    }
    HRESULT STDMETHODCALLTYPE Begin(UINT*, DWORD) override {
        return Unexpected("ID3DXEffect::Begin");
    }
    HRESULT STDMETHODCALLTYPE BeginPass(UINT) override {
        return Unexpected("ID3DXEffect::BeginPass");
    }
    HRESULT STDMETHODCALLTYPE CommitChanges() override {
        return Unexpected("ID3DXEffect::CommitChanges");
    }
    HRESULT STDMETHODCALLTYPE EndPass() override { return Unexpected("ID3DXEffect::EndPass"); }
    HRESULT STDMETHODCALLTYPE End() override { return Unexpected("ID3DXEffect::End"); }
    HRESULT STDMETHODCALLTYPE GetDevice(struct IDirect3DDevice9**) override {
        return Unexpected("ID3DXEffect::GetDevice");
    }
    HRESULT STDMETHODCALLTYPE OnLostDevice() override {
        return Unexpected("ID3DXEffect::OnLostDevice");
    }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override {
        return Unexpected("ID3DXEffect::OnResetDevice");
    }
    HRESULT STDMETHODCALLTYPE SetStateManager(ID3DXEffectStateManager*) override {
        return Unexpected("ID3DXEffect::SetStateManager");
    }
    HRESULT STDMETHODCALLTYPE GetStateManager(ID3DXEffectStateManager**) override {
        return Unexpected("ID3DXEffect::GetStateManager");
    }
    HRESULT STDMETHODCALLTYPE BeginParameterBlock() override {
        return Unexpected("ID3DXEffect::BeginParameterBlock");
    }
    D3DXHANDLE STDMETHODCALLTYPE EndParameterBlock() override {
        Unexpected("ID3DXEffect::EndParameterBlock");
        return {};
    }
    HRESULT STDMETHODCALLTYPE ApplyParameterBlock(D3DXHANDLE) override {
        return Unexpected("ID3DXEffect::ApplyParameterBlock");
    }
    HRESULT STDMETHODCALLTYPE DeleteParameterBlock(D3DXHANDLE) override {
        return Unexpected("ID3DXEffect::DeleteParameterBlock");
    }
    HRESULT STDMETHODCALLTYPE CloneEffect(struct IDirect3DDevice9*, struct ID3DXEffect**) override {
        return Unexpected("ID3DXEffect::CloneEffect");
    }
    HRESULT STDMETHODCALLTYPE SetRawValue(D3DXHANDLE, const void*, UINT, UINT) override {
        return Unexpected("ID3DXEffect::SetRawValue");
    }
};

} // namespace doubles
