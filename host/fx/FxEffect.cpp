#include "host/fx/FxEffect.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "com/HResult.h"
#include "host/fx/FxObject.h"

namespace fxhost {

STDMETHODIMP CFxEffect::GetDesc(D3DXEFFECT_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Creator = "Quorvel FX stand-in";
    desc->Parameters = static_cast<UINT>(m_params.size());
    desc->Techniques = static_cast<UINT>(m_techniques.size());
    desc->Functions = 0;
    return S_OK;
}

STDMETHODIMP CFxEffect::GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) {
    ParamData* p = FindParam(parameter);
    if (!p || !desc)
        return D3DERR_INVALIDCALL;
    *desc = D3DXPARAMETER_DESC{};
    desc->Name = p->name.c_str();
    desc->Semantic = p->semantic.empty() ? nullptr : p->semantic.c_str();
    desc->Class = p->cls;
    desc->Type = p->type;
    desc->Rows = p->rows;
    desc->Columns = p->columns;
    desc->Elements = p->elements;
    desc->Bytes = p->Numeric() ? p->Total() * 4 : static_cast<UINT>(sizeof(void*));
    return S_OK;
}

STDMETHODIMP CFxEffect::GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) {
    TechniqueData* t = FindTechnique(technique);
    if (!t || !desc)
        return D3DERR_INVALIDCALL;
    desc->Name = t->name.empty() ? nullptr : t->name.c_str();
    desc->Passes = static_cast<UINT>(t->passes.size());
    desc->Annotations = 0;
    return S_OK;
}

STDMETHODIMP CFxEffect::GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) {
    PassData* p = FindPass(pass);
    if (!p || !desc)
        return D3DERR_INVALIDCALL;
    desc->Name = p->name.empty() ? nullptr : p->name.c_str();
    desc->Annotations = 0;
    desc->pVertexShaderFunction =
        p->vertexCode ? static_cast<const DWORD*>(p->vertexCode->GetBufferPointer()) : nullptr;
    desc->pPixelShaderFunction =
        p->pixelCode ? static_cast<const DWORD*>(p->pixelCode->GetBufferPointer()) : nullptr;
    return S_OK;
}

STDMETHODIMP_(D3DXHANDLE) CFxEffect::GetParameter(D3DXHANDLE parameter, UINT index) {
    if (parameter || index >= m_params.size())
        return nullptr;
    return ToHandle(m_params[index].get());
}

STDMETHODIMP_(D3DXHANDLE) CFxEffect::GetParameterByName(D3DXHANDLE parameter, const char* name) {
    if (parameter || !name)
        return nullptr;
    for (const auto& p : m_params) {
        if (p->name == name)
            return ToHandle(p.get());
    }
    return nullptr;
}

// Top-level parameters only; semantics match case-insensitively.
STDMETHODIMP_(D3DXHANDLE)
CFxEffect::GetParameterBySemantic(D3DXHANDLE parameter, const char* semantic) {
    if (parameter || !semantic)
        return nullptr;
    for (const auto& p : m_params) {
        if (!p->semantic.empty() && fx::EqualsNoCase(p->semantic, semantic))
            return ToHandle(p.get());
    }
    return nullptr;
}

STDMETHODIMP_(D3DXHANDLE) CFxEffect::GetTechnique(UINT index) {
    return index < m_techniques.size() ? ToHandle(m_techniques[index].get()) : nullptr;
}

STDMETHODIMP_(D3DXHANDLE) CFxEffect::GetTechniqueByName(const char* name) {
    if (!name)
        return nullptr;
    for (const auto& t : m_techniques) {
        if (t->name == name)
            return ToHandle(t.get());
    }
    return nullptr;
}

STDMETHODIMP_(D3DXHANDLE) CFxEffect::GetPass(D3DXHANDLE technique, UINT index) {
    TechniqueData* t = FindTechnique(technique);
    return t && index < t->passes.size() ? ToHandle(t->passes[index].get()) : nullptr;
}

STDMETHODIMP_(D3DXHANDLE) CFxEffect::GetPassByName(D3DXHANDLE technique, const char* name) {
    TechniqueData* t = FindTechnique(technique);
    if (!t || !name)
        return nullptr;
    for (const auto& p : t->passes) {
        if (p->name == name)
            return ToHandle(p.get());
    }
    return nullptr;
}

STDMETHODIMP CFxEffect::SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) {
    ParamData* p = FindParam(parameter);
    if (!p || !data)
        return D3DERR_INVALIDCALL;
    if (p->type == D3DXPT_TEXTURE || p->type == D3DXPT_TEXTURE2D) {
        if (bytes < sizeof(IDirect3DBaseTexture9*))
            return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9* texture;
        std::memcpy(&texture, data, sizeof texture);
        return SetTexture(parameter, texture);
    }
    if (!p->Numeric() || bytes < p->Total() * 4)
        return D3DERR_INVALIDCALL;
    std::memcpy(p->value.data(), data, p->Total() * 4);
    return S_OK;
}

STDMETHODIMP CFxEffect::GetValue(D3DXHANDLE parameter, void* data, UINT bytes) {
    ParamData* p = FindParam(parameter);
    if (!p || !data)
        return D3DERR_INVALIDCALL;
    if (p->type == D3DXPT_TEXTURE || p->type == D3DXPT_TEXTURE2D) {
        if (bytes < sizeof(IDirect3DBaseTexture9*))
            return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9* texture = nullptr;
        p->texture.copy_to(&texture);
        std::memcpy(data, &texture, sizeof texture);
        return S_OK;
    }
    if (!p->Numeric() || bytes < p->Total() * 4)
        return D3DERR_INVALIDCALL;
    std::memcpy(data, p->value.data(), p->Total() * 4);
    return S_OK;
}

STDMETHODIMP CFxEffect::SetBool(D3DXHANDLE parameter, WINBOOL b) {
    return SetScalar(parameter, D3DXPT_BOOL, b ? TRUE : FALSE);
}

STDMETHODIMP CFxEffect::GetBool(D3DXHANDLE parameter, WINBOOL* b) {
    ParamData* p = FindScalar(parameter);
    if (!p || !b)
        return D3DERR_INVALIDCALL;
    *b = ToBool(p->type, p->value[0]);
    return S_OK;
}

STDMETHODIMP CFxEffect::SetInt(D3DXHANDLE parameter, INT n) {
    ParamData* p = FindParam(parameter);
    if (p && p->elements > 0)
        return D3DERR_INVALIDCALL;
    if (p && p->Numeric() && p->Count() == 1)
        return SetScalar(parameter, D3DXPT_INT, static_cast<DWORD>(n));
    // D3DX splits an int into a colour for float3 and float4 vectors.
    if (p && p->type == D3DXPT_FLOAT && p->cls == D3DXPC_VECTOR && p->columns >= 3) {
        const DWORD c = static_cast<DWORD>(n);
        const float rgba[4] = {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f,
                               (c & 0xFF) / 255.0f, ((c >> 24) & 0xFF) / 255.0f};
        for (UINT i = 0; i < p->columns; ++i)
            p->value[i] = FloatBits(rgba[i]);
        return S_OK;
    }
    return D3DERR_INVALIDCALL;
}

STDMETHODIMP CFxEffect::GetInt(D3DXHANDLE parameter, INT* n) {
    ParamData* p = FindScalar(parameter);
    if (!p || !n)
        return D3DERR_INVALIDCALL;
    *n = ToInt(p->type, p->value[0]);
    return S_OK;
}

STDMETHODIMP CFxEffect::SetFloat(D3DXHANDLE parameter, FLOAT f) {
    return SetScalar(parameter, D3DXPT_FLOAT, FloatBits(f));
}

STDMETHODIMP CFxEffect::GetFloat(D3DXHANDLE parameter, FLOAT* f) {
    ParamData* p = FindScalar(parameter);
    if (!p || !f)
        return D3DERR_INVALIDCALL;
    *f = ToFloat(p->type, p->value[0]);
    return S_OK;
}

STDMETHODIMP CFxEffect::SetFloatArray(D3DXHANDLE parameter, const FLOAT* f, UINT count) {
    ParamData* p = FindParam(parameter);
    if (!p || !p->Numeric() || (!f && count))
        return D3DERR_INVALIDCALL;
    const UINT n = std::min(count, p->Total());
    for (UINT i = 0; i < n; ++i)
        p->value[i] = Convert(p->type, D3DXPT_FLOAT, FloatBits(f[i]));
    return S_OK;
}

STDMETHODIMP CFxEffect::GetFloatArray(D3DXHANDLE parameter, FLOAT* f, UINT count) {
    ParamData* p = FindParam(parameter);
    if (!p || !p->Numeric() || (!f && count))
        return D3DERR_INVALIDCALL;
    const UINT n = std::min(count, p->Total());
    for (UINT i = 0; i < n; ++i)
        f[i] = ToFloat(p->type, p->value[i]);
    return S_OK;
}

STDMETHODIMP CFxEffect::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) {
    ParamData* p = FindParam(parameter);
    if (!p || !vector || !p->Numeric() || p->elements > 0 || p->cls == D3DXPC_MATRIX_ROWS ||
        p->cls == D3DXPC_MATRIX_COLUMNS)
        return D3DERR_INVALIDCALL;
    const float in[4] = {vector->x, vector->y, vector->z, vector->w};
    // D3DX packs a vector into a colour for a scalar int.
    if (p->type == D3DXPT_INT && p->Count() == 1) {
        auto channel = [](float f) {
            return static_cast<DWORD>(std::max(std::min(f, 1.0f), 0.0f) * 255.0f);
        };
        p->value[0] =
            channel(in[2]) | channel(in[1]) << 8 | channel(in[0]) << 16 | channel(in[3]) << 24;
        return S_OK;
    }
    for (UINT i = 0; i < p->columns; ++i)
        p->value[i] = Convert(p->type, D3DXPT_FLOAT, FloatBits(in[i]));
    return S_OK;
}

STDMETHODIMP CFxEffect::GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) {
    ParamData* p = FindParam(parameter);
    if (!p || !vector || !p->Numeric() || p->elements > 0 || p->cls == D3DXPC_MATRIX_ROWS ||
        p->cls == D3DXPC_MATRIX_COLUMNS)
        return D3DERR_INVALIDCALL;
    float out[4] = {};
    for (UINT i = 0; i < p->columns; ++i)
        out[i] = ToFloat(p->type, p->value[i]);
    *vector = D3DXVECTOR4(out[0], out[1], out[2], out[3]);
    return S_OK;
}

// An element a vector, for arrays of scalars or vectors (and one such value).
STDMETHODIMP CFxEffect::SetVectorArray(D3DXHANDLE parameter, const D3DXVECTOR4* vectors,
                                       UINT count) {
    ParamData* p = FindParam(parameter);
    if (!p || (!vectors && count) || !p->Numeric() || p->cls == D3DXPC_MATRIX_ROWS ||
        p->cls == D3DXPC_MATRIX_COLUMNS || count > std::max(p->elements, 1u))
        return D3DERR_INVALIDCALL;
    for (UINT e = 0; e < count; ++e) {
        const float in[4] = {vectors[e].x, vectors[e].y, vectors[e].z, vectors[e].w};
        for (UINT i = 0; i < p->columns; ++i)
            p->value[e * p->Count() + i] = Convert(p->type, D3DXPT_FLOAT, FloatBits(in[i]));
    }
    return S_OK;
}

STDMETHODIMP CFxEffect::GetVectorArray(D3DXHANDLE parameter, D3DXVECTOR4* vectors, UINT count) {
    ParamData* p = FindParam(parameter);
    if (!p || (!vectors && count) || !p->Numeric() || p->cls == D3DXPC_MATRIX_ROWS ||
        p->cls == D3DXPC_MATRIX_COLUMNS || count > std::max(p->elements, 1u))
        return D3DERR_INVALIDCALL;
    for (UINT e = 0; e < count; ++e) {
        float out[4] = {};
        for (UINT i = 0; i < p->columns; ++i)
            out[i] = ToFloat(p->type, p->value[e * p->Count() + i]);
        vectors[e] = D3DXVECTOR4(out[0], out[1], out[2], out[3]);
    }
    return S_OK;
}

STDMETHODIMP CFxEffect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    ParamData* p = FindMatrix(parameter);
    if (!p || !matrix)
        return D3DERR_INVALIDCALL;
    for (UINT r = 0; r < p->rows; ++r) {
        for (UINT c = 0; c < p->columns; ++c)
            p->value[p->Slot(r, c)] = FloatBits(matrix->m[r][c]);
    }
    return S_OK;
}

STDMETHODIMP CFxEffect::GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) {
    ParamData* p = FindMatrix(parameter);
    if (!p || !matrix)
        return D3DERR_INVALIDCALL;
    std::fill(&matrix->m[0][0], &matrix->m[0][0] + 16, 0.0f);
    for (UINT r = 0; r < p->rows; ++r) {
        for (UINT c = 0; c < p->columns; ++c)
            matrix->m[r][c] = BitsFloat(p->value[p->Slot(r, c)]);
    }
    return S_OK;
}

STDMETHODIMP CFxEffect::SetMatrixTranspose(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    if (!matrix)
        return D3DERR_INVALIDCALL;
    D3DXMATRIX t;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            t.m[r][c] = matrix->m[c][r];
    }
    return SetMatrix(parameter, &t);
}

STDMETHODIMP CFxEffect::GetMatrixTranspose(D3DXHANDLE parameter, D3DXMATRIX* matrix) {
    if (!matrix)
        return D3DERR_INVALIDCALL;
    D3DXMATRIX m;
    RETURN_IF_FAILED(GetMatrix(parameter, &m));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            matrix->m[r][c] = m.m[c][r];
    }
    return S_OK;
}

STDMETHODIMP CFxEffect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    ParamData* p = FindParam(parameter);
    if (!p || (p->type != D3DXPT_TEXTURE && p->type != D3DXPT_TEXTURE2D))
        return D3DERR_INVALIDCALL;
    p->texture.copy_from(texture);
    return S_OK;
}

STDMETHODIMP CFxEffect::GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) {
    ParamData* p = FindParam(parameter);
    if (!texture || !p || (p->type != D3DXPT_TEXTURE && p->type != D3DXPT_TEXTURE2D))
        return D3DERR_INVALIDCALL;
    p->texture.copy_to(texture);
    return S_OK;
}

STDMETHODIMP CFxEffect::SetString(D3DXHANDLE parameter, const char* text) {
    ParamData* p = FindParam(parameter);
    if (!p || !text || p->type != D3DXPT_STRING)
        return D3DERR_INVALIDCALL;
    p->text = text;
    return S_OK;
}

STDMETHODIMP CFxEffect::GetString(D3DXHANDLE parameter, const char** text) {
    ParamData* p = FindParam(parameter);
    if (!p || !text || p->type != D3DXPT_STRING)
        return D3DERR_INVALIDCALL;
    *text = p->text.c_str();
    return S_OK;
}

STDMETHODIMP CFxEffect::SetTechnique(D3DXHANDLE technique) {
    TechniqueData* t = FindTechnique(technique);
    if (!t)
        return D3DERR_INVALIDCALL;
    m_pTechnique = t;
    return S_OK;
}

STDMETHODIMP CFxEffect::GetDevice(IDirect3DDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    m_spDevice.copy_to(device);
    return S_OK;
}

HRESULT CreateEffectObject(IDirect3DDevice9* device, const fx::Effect& effect,
                           std::string& messages, ID3DXEffect** out) {
    RETURN_HR_IF(D3DERR_INVALIDCALL, !device || !out);
    *out = nullptr;
    ComPtr<ID3DXEffect> created;
    auto* object = new (std::nothrow) CFxEffect(device);
    RETURN_IF_NULL_ALLOC(object);
    created.attach(object);
    RETURN_IF_FAILED(object->Build(effect, messages));
    *out = created.detach();
    return S_OK;
}

} // namespace fxhost
