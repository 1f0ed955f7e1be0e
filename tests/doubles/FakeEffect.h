#pragma once

// A fake compiled effect: GetParameterBySemantic answers from a table the test
// fills; every setter, SetTechnique and the Begin/BeginPass/EndPass/End
// sequence is logged with its arguments and can be failed. Handles are
// pointers to the fake's own copies of the semantic names.

#include "com/ComPtr.h"
#include "tests/doubles/D3DBases.h"
#include "tests/doubles/FakeUnknown.h"

#include <list>
#include <map>
#include <string>

namespace doubles {

class FakeEffect final : public Counted<EffectBase> {
  public:
    FakeEffect() : Counted("ID3DXEffect") {}

    // Declares a top-level parameter with this semantic; returns its handle.
    D3DXHANDLE Declare(const std::string& semantic);
    // The handle for a semantic, or null when not declared.
    D3DXHANDLE Handle(const std::string& semantic) const;
    // Passes reported by Begin.
    UINT passes = 1;

    D3DXHANDLE STDMETHODCALLTYPE GetParameterBySemantic(D3DXHANDLE parameter,
                                                        const char* semantic) override;
    HRESULT STDMETHODCALLTYPE SetTechnique(D3DXHANDLE technique) override;
    HRESULT STDMETHODCALLTYPE SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE SetFloat(D3DXHANDLE parameter, FLOAT f) override;
    HRESULT STDMETHODCALLTYPE SetFloatArray(D3DXHANDLE parameter, const FLOAT* f,
                                            UINT count) override;
    HRESULT STDMETHODCALLTYPE SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override;
    HRESULT STDMETHODCALLTYPE SetInt(D3DXHANDLE parameter, INT n) override;
    HRESULT STDMETHODCALLTYPE SetBool(D3DXHANDLE parameter, WINBOOL b) override;
    HRESULT STDMETHODCALLTYPE SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) override;
    HRESULT STDMETHODCALLTYPE SetTexture(D3DXHANDLE parameter,
                                         IDirect3DBaseTexture9* texture) override;
    HRESULT STDMETHODCALLTYPE Begin(UINT* passes, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE BeginPass(UINT pass) override;
    HRESULT STDMETHODCALLTYPE EndPass() override;
    HRESULT STDMETHODCALLTYPE End() override;

  protected:
    void* Find(REFIID iid) override;

  private:
    std::string NameOf(D3DXHANDLE handle) const;
    std::list<std::string> m_names;
    std::map<std::string, D3DXHANDLE> m_semantics;
};

// The compiler's message buffer: narrow text with its terminator.
class FakeD3DXBuffer final : public Counted<ID3DXBuffer> {
  public:
    explicit FakeD3DXBuffer(const std::string& text);
    void* STDMETHODCALLTYPE GetBufferPointer() override;
    DWORD STDMETHODCALLTYPE GetBufferSize() override;

  private:
    std::string m_bytes;
};

} // namespace doubles
