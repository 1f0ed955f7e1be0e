#pragma once

// A fake Direct3D 9 device with fake vertex and index buffers (Lock gives real
// memory), surfaces and textures. Every call the product makes is logged with
// its arguments in CallLog and can be failed; binding calls (SetTexture,
// SetStreamSource, SetIndices, SetRenderTarget) record raw pointers and take
// no references. The device keeps one reference to every buffer it created.

#include "com/ComPtr.h"
#include "tests/doubles/D3DBases.h"
#include "tests/doubles/FakeUnknown.h"

#include <cstdint>
#include <vector>

namespace doubles {

template <typename Base, typename Desc> class FakeBuffer : public Counted<Base> {
  public:
    FakeBuffer(const char* name, const IID& iid, UINT length, DWORD usage, D3DPOOL pool)
        : Counted<Base>(name), m_iid(iid), m_memory(length), m_usage(usage), m_pool(pool) {}

    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        const HRESULT hr = this->Log("Lock", {offset, size, Arg(data), flags});
        if (data)
            *data = nullptr;
        if (FAILED(hr))
            return hr;
        if (!data || offset > m_memory.size() || size > m_memory.size() - offset)
            return D3DERR_INVALIDCALL;
        ++m_locks;
        m_locked = true;
        *data = m_memory.data() + offset;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        const HRESULT hr = this->Log("Unlock");
        m_locked = false;
        return hr;
    }

    std::vector<std::uint8_t>& memory() { return m_memory; }
    UINT length() const { return static_cast<UINT>(m_memory.size()); }
    DWORD usage() const { return m_usage; }
    D3DPOOL pool() const { return m_pool; }
    bool locked() const { return m_locked; }
    int locks() const { return m_locks; }

  protected:
    void* Find(REFIID iid) override {
        if (::IsEqualIID(iid, m_iid) || ::IsEqualIID(iid, IID_IDirect3DResource9))
            return static_cast<Base*>(this);
        return Counted<Base>::Find(iid);
    }

    IID m_iid;
    std::vector<std::uint8_t> m_memory;
    DWORD m_usage;
    D3DPOOL m_pool;
    bool m_locked = false;
    int m_locks = 0;
};

class FakeVertexBuffer final : public FakeBuffer<VertexBufferBase, D3DVERTEXBUFFER_DESC> {
  public:
    FakeVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
        : FakeBuffer("IDirect3DVertexBuffer9", IID_IDirect3DVertexBuffer9, length, usage, pool),
          m_fvf(fvf) {}
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* desc) override;
    DWORD fvf() const { return m_fvf; }

  private:
    DWORD m_fvf;
};

class FakeIndexBuffer final : public FakeBuffer<IndexBufferBase, D3DINDEXBUFFER_DESC> {
  public:
    FakeIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : FakeBuffer("IDirect3DIndexBuffer9", IID_IDirect3DIndexBuffer9, length, usage, pool),
          m_format(format) {}
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    D3DFORMAT format() const { return m_format; }
    // The buffer read as 16-bit indices.
    std::vector<WORD> Indices16() const;

  private:
    D3DFORMAT m_format;
};

class FakeTexture;

// A render-target surface; a texture's level surface counts its references on
// the texture, as Direct3D's do.
class FakeSurface final : public Counted<SurfaceBase> {
  public:
    FakeSurface(UINT width, UINT height, D3DFORMAT format = D3DFMT_A8R8G8B8);

    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetContainer(REFIID iid, void** container) override;

    UINT width() const { return m_width; }
    UINT height() const { return m_height; }

  protected:
    void* Find(REFIID iid) override;

  private:
    friend class FakeTexture;
    UINT m_width;
    UINT m_height;
    D3DFORMAT m_format;
    FakeTexture* m_container = nullptr;
};

class FakeTexture final : public Counted<TextureBase> {
  public:
    FakeTexture(UINT width, UINT height, D3DFORMAT format = D3DFMT_A8R8G8B8);
    ~FakeTexture() override;

    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return 1; }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }

    // The level-0 surface, without a reference (for frames built in tests).
    FakeSurface* surface() const { return m_level0; }

  protected:
    void* Find(REFIID iid) override;

  private:
    UINT m_width;
    UINT m_height;
    D3DFORMAT m_format;
    FakeSurface* m_level0;
};

class FakeDevice final : public Counted<DeviceBase> {
  public:
    FakeDevice() : Counted("IDirect3DDevice9") {}

    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer9** buffer,
                                                 HANDLE* shared) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                                                HANDLE* shared) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer,
                                              UINT offset, UINT stride) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* buffer) override;
    HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex,
                                                   UINT minIndex, UINT vertices, UINT startIndex,
                                                   UINT primitives) override;

    // Buffers created so far, oldest first; each holds the device's reference.
    std::vector<quorvel::ComPtr<FakeVertexBuffer>> vertexBuffers;
    std::vector<quorvel::ComPtr<FakeIndexBuffer>> indexBuffers;
    // A successful Create*Buffer that hands out no buffer.
    bool nullBufferAfterSuccess = false;

  protected:
    void* Find(REFIID iid) override;
};

} // namespace doubles
