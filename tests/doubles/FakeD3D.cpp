#include "tests/doubles/FakeD3D.h"

namespace doubles {

long& LiveFakes() {
    static long live = 0;
    return live;
}

HRESULT FakeVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = {};
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = length();
    desc->FVF = m_fvf;
    return Log("GetDesc");
}

HRESULT FakeIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = {};
    desc->Format = m_format;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = length();
    return Log("GetDesc");
}

std::vector<WORD> FakeIndexBuffer::Indices16() const {
    std::vector<WORD> indices(m_memory.size() / 2);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<WORD>(m_memory[2 * i] | (m_memory[2 * i + 1] << 8));
    return indices;
}

FakeSurface::FakeSurface(UINT width, UINT height, D3DFORMAT format)
    : Counted("IDirect3DSurface9"), m_width(width), m_height(height), m_format(format) {}

ULONG FakeSurface::AddRef() { return m_container ? m_container->AddRef() : Counted::AddRef(); }

ULONG FakeSurface::Release() { return m_container ? m_container->Release() : Counted::Release(); }

HRESULT FakeSurface::GetDesc(D3DSURFACE_DESC* desc) {
    const HRESULT hr = Log("GetDesc", {Arg(desc)});
    if (FAILED(hr))
        return hr;
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = {};
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = D3DUSAGE_RENDERTARGET;
    desc->Pool = D3DPOOL_DEFAULT;
    desc->Width = m_width;
    desc->Height = m_height;
    return S_OK;
}

HRESULT FakeSurface::GetContainer(REFIID iid, void** container) {
    const HRESULT hr = Log("GetContainer", {Arg(&iid), Arg(container)});
    if (container)
        *container = nullptr;
    if (FAILED(hr))
        return hr;
    if (!container)
        return D3DERR_INVALIDCALL;
    if (!m_container)
        return E_NOINTERFACE;
    return m_container->QueryInterface(iid, container);
}

void* FakeSurface::Find(REFIID iid) {
    if (::IsEqualIID(iid, IID_IDirect3DSurface9) || ::IsEqualIID(iid, IID_IDirect3DResource9))
        return static_cast<IDirect3DSurface9*>(this);
    return Counted::Find(iid);
}

FakeTexture::FakeTexture(UINT width, UINT height, D3DFORMAT format)
    : Counted("IDirect3DTexture9"), m_width(width), m_height(height), m_format(format),
      m_level0(new FakeSurface(width, height, format)) {
    m_level0->m_container = this;
}

FakeTexture::~FakeTexture() {
    m_level0->m_container = nullptr;
    m_level0->Release();
}

HRESULT FakeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    const HRESULT hr = Log("GetLevelDesc", {level, Arg(desc)});
    if (FAILED(hr))
        return hr;
    if (!desc || level != 0)
        return D3DERR_INVALIDCALL;
    *desc = {};
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Pool = D3DPOOL_DEFAULT;
    desc->Width = m_width;
    desc->Height = m_height;
    return S_OK;
}

HRESULT FakeTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    const HRESULT hr = Log("GetSurfaceLevel", {level, Arg(surface)});
    if (surface)
        *surface = nullptr;
    if (FAILED(hr))
        return hr;
    if (!surface || level != 0)
        return D3DERR_INVALIDCALL;
    m_level0->AddRef();
    *surface = m_level0;
    return S_OK;
}

void* FakeTexture::Find(REFIID iid) {
    if (::IsEqualIID(iid, IID_IDirect3DTexture9) || ::IsEqualIID(iid, IID_IDirect3DBaseTexture9) ||
        ::IsEqualIID(iid, IID_IDirect3DResource9))
        return static_cast<IDirect3DTexture9*>(this);
    return Counted::Find(iid);
}

HRESULT FakeDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, HANDLE* shared) {
    const HRESULT hr =
        Log("CreateVertexBuffer", {length, usage, fvf, Arg(pool), Arg(buffer), Arg(shared)});
    if (buffer)
        *buffer = nullptr;
    if (FAILED(hr))
        return hr;
    if (!buffer)
        return D3DERR_INVALIDCALL;
    if (nullBufferAfterSuccess)
        return S_OK;
    auto made = Make<FakeVertexBuffer>(length, usage, fvf, pool);
    vertexBuffers.push_back(made);
    *buffer = made.detach();
    return S_OK;
}

HRESULT FakeDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, HANDLE* shared) {
    const HRESULT hr =
        Log("CreateIndexBuffer", {length, usage, Arg(format), Arg(pool), Arg(buffer), Arg(shared)});
    if (buffer)
        *buffer = nullptr;
    if (FAILED(hr))
        return hr;
    if (!buffer)
        return D3DERR_INVALIDCALL;
    if (nullBufferAfterSuccess)
        return S_OK;
    auto made = Make<FakeIndexBuffer>(length, usage, format, pool);
    indexBuffers.push_back(made);
    *buffer = made.detach();
    return S_OK;
}

HRESULT FakeDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    return Log("SetTexture", {stage, Arg(texture)});
}

HRESULT FakeDevice::SetFVF(DWORD fvf) { return Log("SetFVF", {fvf}); }

HRESULT FakeDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                    UINT stride) {
    return Log("SetStreamSource", {stream, Arg(buffer), offset, stride});
}

HRESULT FakeDevice::SetIndices(IDirect3DIndexBuffer9* buffer) {
    return Log("SetIndices", {Arg(buffer)});
}

HRESULT FakeDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    return Log("SetRenderTarget", {index, Arg(surface)});
}

HRESULT FakeDevice::BeginScene() { return Log("BeginScene"); }

HRESULT FakeDevice::EndScene() { return Log("EndScene"); }

HRESULT FakeDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                                         UINT vertices, UINT startIndex, UINT primitives) {
    return Log("DrawIndexedPrimitive", {Arg(type), static_cast<std::uintptr_t>(baseVertex),
                                        minIndex, vertices, startIndex, primitives});
}

void* FakeDevice::Find(REFIID iid) {
    if (::IsEqualIID(iid, IID_IDirect3DDevice9))
        return static_cast<IDirect3DDevice9*>(this);
    return Counted::Find(iid);
}

} // namespace doubles
