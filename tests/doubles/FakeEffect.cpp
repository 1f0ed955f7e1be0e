#include "tests/doubles/FakeEffect.h"

namespace doubles {

D3DXHANDLE FakeEffect::Declare(const std::string& semantic) {
    if (D3DXHANDLE existing = Handle(semantic))
        return existing;
    m_names.push_back(semantic);
    D3DXHANDLE handle = m_names.back().c_str();
    m_semantics[semantic] = handle;
    return handle;
}

D3DXHANDLE FakeEffect::Handle(const std::string& semantic) const {
    const auto found = m_semantics.find(semantic);
    return found == m_semantics.end() ? nullptr : found->second;
}

std::string FakeEffect::NameOf(D3DXHANDLE handle) const {
    for (const std::string& name : m_names)
        if (name.c_str() == handle)
            return name;
    return std::string();
}

D3DXHANDLE FakeEffect::GetParameterBySemantic(D3DXHANDLE parameter, const char* semantic) {
    Log("GetParameterBySemantic", {Arg(parameter)}, {}, semantic ? semantic : "", {}, false);
    if (parameter || !semantic)
        return nullptr;
    return Handle(semantic);
}

HRESULT FakeEffect::SetTechnique(D3DXHANDLE technique) {
    // The product names its technique by string in place of a handle.
    return Log("SetTechnique", {Arg(technique)}, {}, technique ? technique : "");
}

HRESULT FakeEffect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    Call call;
    call.name = "ID3DXEffect::SetMatrix";
    call.object = this;
    call.args = {Arg(parameter), Arg(matrix)};
    call.text = NameOf(parameter);
    if (matrix)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                call.floats.push_back(matrix->m[r][c]);
    return CallLog::Get().Record(std::move(call));
}

HRESULT FakeEffect::SetFloat(D3DXHANDLE parameter, FLOAT f) {
    return Log("SetFloat", {Arg(parameter)}, {f}, NameOf(parameter));
}

HRESULT FakeEffect::SetFloatArray(D3DXHANDLE parameter, const FLOAT* f, UINT count) {
    Call call;
    call.name = "ID3DXEffect::SetFloatArray";
    call.object = this;
    call.args = {Arg(parameter), Arg(f), count};
    call.text = NameOf(parameter);
    if (f)
        call.floats.assign(f, f + count);
    return CallLog::Get().Record(std::move(call));
}

HRESULT FakeEffect::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) {
    if (!vector)
        return Log("SetVector", {Arg(parameter), 0}, {}, NameOf(parameter));
    return Log("SetVector", {Arg(parameter), Arg(vector)},
               {vector->x, vector->y, vector->z, vector->w}, NameOf(parameter));
}

HRESULT FakeEffect::SetInt(D3DXHANDLE parameter, INT n) {
    return Log("SetInt", {Arg(parameter), static_cast<std::uintptr_t>(static_cast<UINT>(n))}, {},
               NameOf(parameter));
}

HRESULT FakeEffect::SetBool(D3DXHANDLE parameter, WINBOOL b) {
    return Log("SetBool", {Arg(parameter), static_cast<std::uintptr_t>(static_cast<UINT>(b))}, {},
               NameOf(parameter));
}

HRESULT FakeEffect::SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) {
    Call call;
    call.name = "ID3DXEffect::SetValue";
    call.object = this;
    call.args = {Arg(parameter), Arg(data), bytes};
    call.text = NameOf(parameter);
    if (data)
        for (UINT i = 0; i + sizeof(float) <= bytes; i += sizeof(float))
            call.floats.push_back(
                *reinterpret_cast<const float*>(static_cast<const BYTE*>(data) + i));
    return CallLog::Get().Record(std::move(call));
}

HRESULT FakeEffect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    return Log("SetTexture", {Arg(parameter), Arg(texture)}, {}, NameOf(parameter));
}

HRESULT FakeEffect::Begin(UINT* passCount, DWORD flags) {
    const HRESULT hr = Log("Begin", {Arg(passCount), flags});
    if (FAILED(hr))
        return hr;
    if (!passCount)
        return D3DERR_INVALIDCALL;
    *passCount = passes;
    return S_OK;
}

HRESULT FakeEffect::BeginPass(UINT pass) { return Log("BeginPass", {pass}); }

HRESULT FakeEffect::EndPass() { return Log("EndPass"); }

HRESULT FakeEffect::End() { return Log("End"); }

void* FakeEffect::Find(REFIID iid) {
    if (::IsEqualIID(iid, IID_ID3DXEffect) || ::IsEqualIID(iid, IID_ID3DXBaseEffect))
        return static_cast<ID3DXEffect*>(this);
    return Counted::Find(iid);
}

FakeD3DXBuffer::FakeD3DXBuffer(const std::string& text)
    : Counted("ID3DXBuffer"), m_bytes(text + '\0') {}

void* FakeD3DXBuffer::GetBufferPointer() {
    Log("GetBufferPointer", {}, {}, {}, {}, false);
    return m_bytes.data();
}

DWORD FakeD3DXBuffer::GetBufferSize() {
    Log("GetBufferSize", {}, {}, {}, {}, false);
    return static_cast<DWORD>(m_bytes.size());
}

} // namespace doubles
