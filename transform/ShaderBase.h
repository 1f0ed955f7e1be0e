#pragma once

// The state and work shared by both transform classes. The COM classes add
// only their identity, their input count and their registration.
//
// Where the methods are:
//   transform/ShaderBase.cpp       construction, GetFlags, QueryService
//   transform/Initialize.cpp       Initialize
//   transform/ReadParameters.cpp   ReadParameters, StoreTextureFile
//   effect/CreateEffect.cpp        CreateEffect
//   render/Render.cpp              Render, LoadFileTextures, DrawGrid
//   render/Grid.cpp                BuildVertexGrid, VertexGridMatches
//   render/IndexGrid.cpp           BuildIndexGrid
//   render/FrameSemantics.cpp      SetStaticSemantics, SetFrameSemantics
//   render/SemanticParameters.cpp  ApplySemanticParameters

#include "com/ComPtr.h"
#include "pipeline/ParameterStore.h"
#include "transform/MediaTransform.h"

#include <d3d9.h>
#include <d3dx9effect.h>

#include <array>
#include <string>

namespace quorvel {
struct FrameTextures;
} // namespace quorvel

class CShaderBase {
  public:
    // Texture slots: the two inputs, then up to six files.
    static constexpr int kTextureSlots = 8;

    CShaderBase();
    virtual ~CShaderBase();
    CShaderBase(const CShaderBase&) = delete;
    CShaderBase& operator=(const CShaderBase&) = delete;

    // IMediaTransform work, the same for both classes.
    HRESULT Initialize(IUnknown* host);
    HRESULT Render(IUnknown* deviceSource, const MediaTime* position, MediaTime duration,
                   IUnknown** inputs, int inputCount, IUnknown* output);
    HRESULT GetFlags(UINT32 selector, UINT32* flags) const;
    // IServiceProvider::QueryService: the parameter store only.
    HRESULT QueryService(REFGUID service, REFIID iid, void** out);

  protected:
    // Initialisation parameters.
    HRESULT ReadParameters();
    HRESULT StoreTextureFile(const PROPVARIANT& value, int slot);
    // Effect creation and semantic binding.
    HRESULT CreateEffect(IDirect3DDevice9* device);
    // Geometry grid.
    HRESULT BuildIndexGrid(IDirect3DDevice9* device);
    HRESULT BuildVertexGrid(IDirect3DDevice9* device, int width, int height);
    // Effect values: first-frame ones, then those of every frame.
    HRESULT SetStaticSemantics(float duration);
    HRESULT SetFrameSemantics(float time, float duration, unsigned inputWidth,
                              unsigned inputHeight);
    HRESULT ApplySemanticParameters(float time);

    // Members in declaration order; the destructor releases them in reverse.
    quorvel::ComPtr<IParameterStore> m_spParameterStore;
    quorvel::ComPtr<ID3DXEffect> m_spEffect;
    quorvel::ComPtr<IDirect3DVertexBuffer9> m_spVertexBuffer;
    quorvel::ComPtr<IDirect3DIndexBuffer9> m_spIndexBuffer;
    std::wstring m_strTechnique;
    std::array<std::wstring, kTextureSlots> m_strTextureFile;
    std::array<quorvel::ComPtr<IDirect3DTexture9>, kTextureSlots> m_spTextures;
    // Empty until the first vertex grid is built, so a failed first build is retried.
    RECT m_rcOutput = {0, 0, 0, 0};
    int m_nVerticesX = 2;
    int m_nVerticesY = 2;
    bool m_bRelaxAspect = false;
    bool m_bFirstFrame = true;
    D3DXHANDLE m_hWorld = nullptr;
    D3DXHANDLE m_hView = nullptr;
    D3DXHANDLE m_hProjection = nullptr;
    D3DXHANDLE m_hWorldView = nullptr;
    D3DXHANDLE m_hWorldViewProjection = nullptr;
    D3DXHANDLE m_hDuration = nullptr;
    D3DXHANDLE m_hTime = nullptr;
    D3DXHANDLE m_hInputSize = nullptr;
    D3DXHANDLE m_hOutputSize = nullptr;
    std::array<D3DXHANDLE, kTextureSlots> m_hTextureAspect = {};
    D3DXHANDLE m_hPixelSize = nullptr;

  private:
    // True when the vertex buffer was built for this output and the current grid size.
    bool VertexGridMatches(const RECT& output) const;
    // The first frame's textures from files, for slots 2 to 7, set on the device.
    HRESULT LoadFileTextures(IDirect3DDevice9* device);
    // One scene: the grid drawn into `target` by every pass of the technique.
    HRESULT DrawGrid(IDirect3DDevice9* device, IDirect3DSurface9* target,
                     const quorvel::FrameTextures& textures);

    // Grid size the vertex buffer holds; 0 until a build completes, so an
    // Initialize that changes the grid size forces a rebuild.
    int m_nVertexGridX = 0;
    int m_nVertexGridY = 0;
};
