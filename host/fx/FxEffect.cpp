#include "host/fx/FxEffect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "com/ComPtr.h"
#include "com/HResult.h"

namespace fxhost {
namespace {

using quorvel::ComPtr;

// ---- state names and values, as D3DX spells them (case-insensitive) ----

struct EnumName {
    const char* name;
    DWORD value;
};

const EnumName kBool[] = {{"TRUE", TRUE}, {"FALSE", FALSE}, {nullptr, 0}};
const EnumName kZEnable[] = {
    {"TRUE", D3DZB_TRUE}, {"FALSE", D3DZB_FALSE}, {"USEW", D3DZB_USEW}, {nullptr, 0}};
const EnumName kCull[] = {
    {"NONE", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}, {nullptr, 0}};
const EnumName kFill[] = {{"POINT", D3DFILL_POINT},
                          {"WIREFRAME", D3DFILL_WIREFRAME},
                          {"SOLID", D3DFILL_SOLID},
                          {nullptr, 0}};
const EnumName kBlend[] = {{"ZERO", D3DBLEND_ZERO},
                           {"ONE", D3DBLEND_ONE},
                           {"SRCCOLOR", D3DBLEND_SRCCOLOR},
                           {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
                           {"SRCALPHA", D3DBLEND_SRCALPHA},
                           {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
                           {"DESTALPHA", D3DBLEND_DESTALPHA},
                           {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
                           {"DESTCOLOR", D3DBLEND_DESTCOLOR},
                           {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
                           {"SRCALPHASAT", D3DBLEND_SRCALPHASAT},
                           {"BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA},
                           {"BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
                           {"BLENDFACTOR", D3DBLEND_BLENDFACTOR},
                           {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR},
                           {nullptr, 0}};
const EnumName kBlendOp[] = {{"ADD", D3DBLENDOP_ADD},
                             {"SUBTRACT", D3DBLENDOP_SUBTRACT},
                             {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
                             {"MIN", D3DBLENDOP_MIN},
                             {"MAX", D3DBLENDOP_MAX},
                             {nullptr, 0}};
const EnumName kCmp[] = {{"NEVER", D3DCMP_NEVER},
                         {"LESS", D3DCMP_LESS},
                         {"EQUAL", D3DCMP_EQUAL},
                         {"LESSEQUAL", D3DCMP_LESSEQUAL},
                         {"GREATER", D3DCMP_GREATER},
                         {"NOTEQUAL", D3DCMP_NOTEQUAL},
                         {"GREATEREQUAL", D3DCMP_GREATEREQUAL},
                         {"ALWAYS", D3DCMP_ALWAYS},
                         {nullptr, 0}};
const EnumName kStencilOp[] = {{"KEEP", D3DSTENCILOP_KEEP},
                               {"ZERO", D3DSTENCILOP_ZERO},
                               {"REPLACE", D3DSTENCILOP_REPLACE},
                               {"INCRSAT", D3DSTENCILOP_INCRSAT},
                               {"DECRSAT", D3DSTENCILOP_DECRSAT},
                               {"INVERT", D3DSTENCILOP_INVERT},
                               {"INCR", D3DSTENCILOP_INCR},
                               {"DECR", D3DSTENCILOP_DECR},
                               {nullptr, 0}};
// Flags: several names joined with '|' are or-ed.
const EnumName kColorWrite[] = {{"RED", D3DCOLORWRITEENABLE_RED},
                                {"GREEN", D3DCOLORWRITEENABLE_GREEN},
                                {"BLUE", D3DCOLORWRITEENABLE_BLUE},
                                {"ALPHA", D3DCOLORWRITEENABLE_ALPHA},
                                {nullptr, 0}};
const EnumName kFilter[] = {{"NONE", D3DTEXF_NONE},
                            {"POINT", D3DTEXF_POINT},
                            {"LINEAR", D3DTEXF_LINEAR},
                            {"ANISOTROPIC", D3DTEXF_ANISOTROPIC},
                            {nullptr, 0}};
const EnumName kAddress[] = {{"WRAP", D3DTADDRESS_WRAP},
                             {"MIRROR", D3DTADDRESS_MIRROR},
                             {"CLAMP", D3DTADDRESS_CLAMP},
                             {"BORDER", D3DTADDRESS_BORDER},
                             {"MIRRORONCE", D3DTADDRESS_MIRRORONCE},
                             {nullptr, 0}};

enum class ValueForm { Enum, Flags, Number, Float };

struct StateName {
    const char* name;
    DWORD state;
    ValueForm form;
    const EnumName* names;
};

const StateName kRenderStates[] = {
    {"ZEnable", D3DRS_ZENABLE, ValueForm::Enum, kZEnable},
    {"ZWriteEnable", D3DRS_ZWRITEENABLE, ValueForm::Enum, kBool},
    {"ZFunc", D3DRS_ZFUNC, ValueForm::Enum, kCmp},
    {"CullMode", D3DRS_CULLMODE, ValueForm::Enum, kCull},
    {"FillMode", D3DRS_FILLMODE, ValueForm::Enum, kFill},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, ValueForm::Enum, kBool},
    {"SrcBlend", D3DRS_SRCBLEND, ValueForm::Enum, kBlend},
    {"DestBlend", D3DRS_DESTBLEND, ValueForm::Enum, kBlend},
    {"BlendOp", D3DRS_BLENDOP, ValueForm::Enum, kBlendOp},
    {"SeparateAlphaBlendEnable", D3DRS_SEPARATEALPHABLENDENABLE, ValueForm::Enum, kBool},
    {"SrcBlendAlpha", D3DRS_SRCBLENDALPHA, ValueForm::Enum, kBlend},
    {"DestBlendAlpha", D3DRS_DESTBLENDALPHA, ValueForm::Enum, kBlend},
    {"BlendOpAlpha", D3DRS_BLENDOPALPHA, ValueForm::Enum, kBlendOp},
    {"BlendFactor", D3DRS_BLENDFACTOR, ValueForm::Number, nullptr},
    {"AlphaTestEnable", D3DRS_ALPHATESTENABLE, ValueForm::Enum, kBool},
    {"AlphaRef", D3DRS_ALPHAREF, ValueForm::Number, nullptr},
    {"AlphaFunc", D3DRS_ALPHAFUNC, ValueForm::Enum, kCmp},
    {"ColorWriteEnable", D3DRS_COLORWRITEENABLE, ValueForm::Flags, kColorWrite},
    {"StencilEnable", D3DRS_STENCILENABLE, ValueForm::Enum, kBool},
    {"StencilFunc", D3DRS_STENCILFUNC, ValueForm::Enum, kCmp},
    {"StencilRef", D3DRS_STENCILREF, ValueForm::Number, nullptr},
    {"StencilMask", D3DRS_STENCILMASK, ValueForm::Number, nullptr},
    {"StencilWriteMask", D3DRS_STENCILWRITEMASK, ValueForm::Number, nullptr},
    {"StencilFail", D3DRS_STENCILFAIL, ValueForm::Enum, kStencilOp},
    {"StencilZFail", D3DRS_STENCILZFAIL, ValueForm::Enum, kStencilOp},
    {"StencilPass", D3DRS_STENCILPASS, ValueForm::Enum, kStencilOp},
    {"ScissorTestEnable", D3DRS_SCISSORTESTENABLE, ValueForm::Enum, kBool},
    {"DitherEnable", D3DRS_DITHERENABLE, ValueForm::Enum, kBool},
    {"Lighting", D3DRS_LIGHTING, ValueForm::Enum, kBool},
    {"SRGBWriteEnable", D3DRS_SRGBWRITEENABLE, ValueForm::Enum, kBool},
    {"MultiSampleAntialias", D3DRS_MULTISAMPLEANTIALIAS, ValueForm::Enum, kBool},
    {"TextureFactor", D3DRS_TEXTUREFACTOR, ValueForm::Number, nullptr},
};

const StateName kSamplerStates[] = {
    {"MinFilter", D3DSAMP_MINFILTER, ValueForm::Enum, kFilter},
    {"MagFilter", D3DSAMP_MAGFILTER, ValueForm::Enum, kFilter},
    {"MipFilter", D3DSAMP_MIPFILTER, ValueForm::Enum, kFilter},
    {"AddressU", D3DSAMP_ADDRESSU, ValueForm::Enum, kAddress},
    {"AddressV", D3DSAMP_ADDRESSV, ValueForm::Enum, kAddress},
    {"AddressW", D3DSAMP_ADDRESSW, ValueForm::Enum, kAddress},
    {"BorderColor", D3DSAMP_BORDERCOLOR, ValueForm::Number, nullptr},
    {"MaxAnisotropy", D3DSAMP_MAXANISOTROPY, ValueForm::Number, nullptr},
    {"MaxMipLevel", D3DSAMP_MAXMIPLEVEL, ValueForm::Number, nullptr},
    {"MipMapLodBias", D3DSAMP_MIPMAPLODBIAS, ValueForm::Float, nullptr},
    {"SRGBTexture", D3DSAMP_SRGBTEXTURE, ValueForm::Enum, kBool},
};

const StateName* FindState(const StateName* table, size_t count, const std::string& name) {
    for (size_t i = 0; i < count; ++i) {
        if (fx::EqualsNoCase(table[i].name, name))
            return &table[i];
    }
    return nullptr;
}

bool FindEnum(const EnumName* names, const std::string& text, DWORD& value) {
    for (const EnumName* n = names; n && n->name; ++n) {
        if (fx::EqualsNoCase(n->name, text)) {
            value = n->value;
            return true;
        }
    }
    return false;
}

// ---- parameters ----

struct ParamData {
    std::string name;
    std::string semantic;
    D3DXPARAMETER_CLASS cls = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE type = D3DXPT_FLOAT;
    UINT rows = 1;
    UINT columns = 1;
    // Values in storage order (column by column for MATRIX_COLUMNS), each a
    // float, INT or BOOL by `type`.
    DWORD value[16] = {};
    ComPtr<IDirect3DBaseTexture9> texture;
    std::vector<std::pair<D3DSAMPLERSTATETYPE, DWORD>> samplerStates;
    ParamData* samplerTexture = nullptr;
    std::string text;

    UINT Count() const { return rows * columns; }
    // Constant registers a matrix fills: one per stored column or row.
    UINT RegisterCount() const { return cls == D3DXPC_MATRIX_COLUMNS ? columns : rows; }
    bool Numeric() const {
        return type == D3DXPT_FLOAT || type == D3DXPT_INT || type == D3DXPT_BOOL;
    }
    // Storage slot of element (r, c).
    UINT Slot(UINT r, UINT c) const {
        return cls == D3DXPC_MATRIX_COLUMNS ? c * rows + r : r * columns + c;
    }
};

DWORD FloatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}
float BitsFloat(DWORD d) {
    float f;
    std::memcpy(&f, &d, sizeof f);
    return f;
}

float ToFloat(D3DXPARAMETER_TYPE type, DWORD raw) {
    switch (type) {
    case D3DXPT_FLOAT:
        return BitsFloat(raw);
    case D3DXPT_INT:
        return static_cast<float>(static_cast<INT>(raw));
    default:
        return raw ? 1.0f : 0.0f;
    }
}
INT ToInt(D3DXPARAMETER_TYPE type, DWORD raw) {
    switch (type) {
    case D3DXPT_FLOAT: {
        const float f = BitsFloat(raw);
        if (!(f > -2147483648.0f && f < 2147483648.0f))
            return f > 0 ? INT_MAX : INT_MIN;
        return static_cast<INT>(f);
    }
    case D3DXPT_INT:
        return static_cast<INT>(raw);
    default:
        return raw ? 1 : 0;
    }
}
BOOL ToBool(D3DXPARAMETER_TYPE type, DWORD raw) {
    return type == D3DXPT_FLOAT ? BitsFloat(raw) != 0.0f : raw != 0;
}
DWORD Convert(D3DXPARAMETER_TYPE to, D3DXPARAMETER_TYPE from, DWORD raw) {
    switch (to) {
    case D3DXPT_FLOAT:
        return FloatBits(ToFloat(from, raw));
    case D3DXPT_INT:
        return static_cast<DWORD>(ToInt(from, raw));
    default:
        return static_cast<DWORD>(ToBool(from, raw));
    }
}

// ---- passes ----

enum class OpKind {
    RenderState,
    SamplerState,
    Texture,
    Sampler,
    PixelShader,
    VertexShader,
    Constant
};

struct PassOp {
    OpKind kind = OpKind::RenderState;
    DWORD state = 0;
    DWORD index = 0;
    DWORD value = 0;
    ParamData* param = nullptr;
    ComPtr<IDirect3DPixelShader9> pixelShader;
    ComPtr<IDirect3DVertexShader9> vertexShader;
    bool pixel = true;
    char constantType = 'F';
    UINT registers = 0;
    std::vector<double> literal;
};

struct PassData {
    std::string name;
    std::vector<PassOp> ops;
    ComPtr<ID3DXBuffer> vertexCode;
    ComPtr<ID3DXBuffer> pixelCode;
};

struct TechniqueData {
    std::string name;
    std::vector<std::unique_ptr<PassData>> passes;
};

// The interface identifiers of D3DX 9 from version 27 on; the import
// libraries do not carry them.
const GUID kIidBaseEffect = {
    0x017c18ac, 0x103f, 0x4417, {0x8c, 0x51, 0x6b, 0xf6, 0xef, 0x1e, 0x56, 0xbe}};
const GUID kIidEffect = {
    0xf6ceb4b3, 0x4e4c, 0x40dd, {0xb8, 0x83, 0x8d, 0x8d, 0xe5, 0xea, 0x0c, 0xd5}};

D3DXHANDLE ToHandle(const void* p) { return reinterpret_cast<D3DXHANDLE>(p); }

class CFxEffect final : public ID3DXEffect {
  public:
    explicit CFxEffect(IDirect3DDevice9* device) : m_spDevice(device) {}

    HRESULT Build(const fx::Effect& effect, std::string& messages);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == kIidBaseEffect || iid == kIidEffect) {
            *out = static_cast<ID3DXEffect*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nRef; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = --m_nRef;
        if (n == 0)
            delete this;
        return n;
    }

    // Descriptions
    STDMETHODIMP GetDesc(D3DXEFFECT_DESC* desc) override {
        if (!desc)
            return D3DERR_INVALIDCALL;
        desc->Creator = "Quorvel FX stand-in";
        desc->Parameters = static_cast<UINT>(m_params.size());
        desc->Techniques = static_cast<UINT>(m_techniques.size());
        desc->Functions = 0;
        return S_OK;
    }
    STDMETHODIMP GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) override {
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
        desc->Bytes = p->Numeric() ? p->Count() * 4 : static_cast<UINT>(sizeof(void*));
        return S_OK;
    }
    STDMETHODIMP GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) override {
        TechniqueData* t = FindTechnique(technique);
        if (!t || !desc)
            return D3DERR_INVALIDCALL;
        desc->Name = t->name.empty() ? nullptr : t->name.c_str();
        desc->Passes = static_cast<UINT>(t->passes.size());
        desc->Annotations = 0;
        return S_OK;
    }
    STDMETHODIMP GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) override {
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
    STDMETHODIMP GetFunctionDesc(D3DXHANDLE, D3DXFUNCTION_DESC*) override { return E_NOTIMPL; }

    // Handles
    STDMETHODIMP_(D3DXHANDLE) GetParameter(D3DXHANDLE parameter, UINT index) override {
        if (parameter || index >= m_params.size())
            return nullptr;
        return ToHandle(m_params[index].get());
    }
    STDMETHODIMP_(D3DXHANDLE) GetParameterByName(D3DXHANDLE parameter, const char* name) override {
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
    GetParameterBySemantic(D3DXHANDLE parameter, const char* semantic) override {
        if (parameter || !semantic)
            return nullptr;
        for (const auto& p : m_params) {
            if (!p->semantic.empty() && fx::EqualsNoCase(p->semantic, semantic))
                return ToHandle(p.get());
        }
        return nullptr;
    }
    STDMETHODIMP_(D3DXHANDLE) GetParameterElement(D3DXHANDLE, UINT) override { return nullptr; }
    STDMETHODIMP_(D3DXHANDLE) GetTechnique(UINT index) override {
        return index < m_techniques.size() ? ToHandle(m_techniques[index].get()) : nullptr;
    }
    STDMETHODIMP_(D3DXHANDLE) GetTechniqueByName(const char* name) override {
        if (!name)
            return nullptr;
        for (const auto& t : m_techniques) {
            if (t->name == name)
                return ToHandle(t.get());
        }
        return nullptr;
    }
    STDMETHODIMP_(D3DXHANDLE) GetPass(D3DXHANDLE technique, UINT index) override {
        TechniqueData* t = FindTechnique(technique);
        return t && index < t->passes.size() ? ToHandle(t->passes[index].get()) : nullptr;
    }
    STDMETHODIMP_(D3DXHANDLE) GetPassByName(D3DXHANDLE technique, const char* name) override {
        TechniqueData* t = FindTechnique(technique);
        if (!t || !name)
            return nullptr;
        for (const auto& p : t->passes) {
            if (p->name == name)
                return ToHandle(p.get());
        }
        return nullptr;
    }
    STDMETHODIMP_(D3DXHANDLE) GetFunction(UINT) override { return nullptr; }
    STDMETHODIMP_(D3DXHANDLE) GetFunctionByName(const char*) override { return nullptr; }
    // Annotations are skipped by the compiler.
    STDMETHODIMP_(D3DXHANDLE) GetAnnotation(D3DXHANDLE, UINT) override { return nullptr; }
    STDMETHODIMP_(D3DXHANDLE) GetAnnotationByName(D3DXHANDLE, const char*) override {
        return nullptr;
    }

    // Values
    STDMETHODIMP SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) override {
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
        if (!p->Numeric() || bytes < p->Count() * 4)
            return D3DERR_INVALIDCALL;
        std::memcpy(p->value, data, p->Count() * 4);
        return S_OK;
    }
    STDMETHODIMP GetValue(D3DXHANDLE parameter, void* data, UINT bytes) override {
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
        if (!p->Numeric() || bytes < p->Count() * 4)
            return D3DERR_INVALIDCALL;
        std::memcpy(data, p->value, p->Count() * 4);
        return S_OK;
    }
    STDMETHODIMP SetBool(D3DXHANDLE parameter, WINBOOL b) override {
        return SetScalar(parameter, D3DXPT_BOOL, b ? TRUE : FALSE);
    }
    STDMETHODIMP GetBool(D3DXHANDLE parameter, WINBOOL* b) override {
        ParamData* p = FindScalar(parameter);
        if (!p || !b)
            return D3DERR_INVALIDCALL;
        *b = ToBool(p->type, p->value[0]);
        return S_OK;
    }
    STDMETHODIMP SetInt(D3DXHANDLE parameter, INT n) override {
        ParamData* p = FindParam(parameter);
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
    STDMETHODIMP GetInt(D3DXHANDLE parameter, INT* n) override {
        ParamData* p = FindScalar(parameter);
        if (!p || !n)
            return D3DERR_INVALIDCALL;
        *n = ToInt(p->type, p->value[0]);
        return S_OK;
    }
    STDMETHODIMP SetFloat(D3DXHANDLE parameter, FLOAT f) override {
        return SetScalar(parameter, D3DXPT_FLOAT, FloatBits(f));
    }
    STDMETHODIMP GetFloat(D3DXHANDLE parameter, FLOAT* f) override {
        ParamData* p = FindScalar(parameter);
        if (!p || !f)
            return D3DERR_INVALIDCALL;
        *f = ToFloat(p->type, p->value[0]);
        return S_OK;
    }
    STDMETHODIMP SetFloatArray(D3DXHANDLE parameter, const FLOAT* f, UINT count) override {
        ParamData* p = FindParam(parameter);
        if (!p || !p->Numeric() || (!f && count))
            return D3DERR_INVALIDCALL;
        const UINT n = std::min(count, p->Count());
        for (UINT i = 0; i < n; ++i)
            p->value[i] = Convert(p->type, D3DXPT_FLOAT, FloatBits(f[i]));
        return S_OK;
    }
    STDMETHODIMP GetFloatArray(D3DXHANDLE parameter, FLOAT* f, UINT count) override {
        ParamData* p = FindParam(parameter);
        if (!p || !p->Numeric() || (!f && count))
            return D3DERR_INVALIDCALL;
        const UINT n = std::min(count, p->Count());
        for (UINT i = 0; i < n; ++i)
            f[i] = ToFloat(p->type, p->value[i]);
        return S_OK;
    }
    STDMETHODIMP SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override {
        ParamData* p = FindParam(parameter);
        if (!p || !vector || !p->Numeric() || p->cls == D3DXPC_MATRIX_ROWS ||
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
    STDMETHODIMP GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override {
        ParamData* p = FindParam(parameter);
        if (!p || !vector || !p->Numeric() || p->cls == D3DXPC_MATRIX_ROWS ||
            p->cls == D3DXPC_MATRIX_COLUMNS)
            return D3DERR_INVALIDCALL;
        float out[4] = {};
        for (UINT i = 0; i < p->columns; ++i)
            out[i] = ToFloat(p->type, p->value[i]);
        *vector = D3DXVECTOR4(out[0], out[1], out[2], out[3]);
        return S_OK;
    }
    STDMETHODIMP SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override {
        ParamData* p = FindMatrix(parameter);
        if (!p || !matrix)
            return D3DERR_INVALIDCALL;
        for (UINT r = 0; r < p->rows; ++r) {
            for (UINT c = 0; c < p->columns; ++c)
                p->value[p->Slot(r, c)] = FloatBits(matrix->m[r][c]);
        }
        return S_OK;
    }
    STDMETHODIMP GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override {
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
    STDMETHODIMP SetMatrixTranspose(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override {
        if (!matrix)
            return D3DERR_INVALIDCALL;
        D3DXMATRIX t;
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c)
                t.m[r][c] = matrix->m[c][r];
        }
        return SetMatrix(parameter, &t);
    }
    STDMETHODIMP GetMatrixTranspose(D3DXHANDLE parameter, D3DXMATRIX* matrix) override {
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
    STDMETHODIMP SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override {
        ParamData* p = FindParam(parameter);
        if (!p || (p->type != D3DXPT_TEXTURE && p->type != D3DXPT_TEXTURE2D))
            return D3DERR_INVALIDCALL;
        p->texture.copy_from(texture);
        return S_OK;
    }
    STDMETHODIMP GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) override {
        ParamData* p = FindParam(parameter);
        if (!texture || !p || (p->type != D3DXPT_TEXTURE && p->type != D3DXPT_TEXTURE2D))
            return D3DERR_INVALIDCALL;
        p->texture.copy_to(texture);
        return S_OK;
    }

    // Arrays, strings, shader objects and pools are outside the subset.
    STDMETHODIMP SetBoolArray(D3DXHANDLE, const WINBOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetBoolArray(D3DXHANDLE, WINBOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP SetIntArray(D3DXHANDLE, const INT*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetIntArray(D3DXHANDLE, INT*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP SetVectorArray(D3DXHANDLE, const D3DXVECTOR4*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetVectorArray(D3DXHANDLE, D3DXVECTOR4*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP SetMatrixArray(D3DXHANDLE, const D3DXMATRIX*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetMatrixArray(D3DXHANDLE, D3DXMATRIX*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP SetMatrixPointerArray(D3DXHANDLE, const D3DXMATRIX**, UINT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetMatrixPointerArray(D3DXHANDLE, D3DXMATRIX**, UINT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetMatrixTransposeArray(D3DXHANDLE, const D3DXMATRIX*, UINT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetMatrixTransposeArray(D3DXHANDLE, D3DXMATRIX*, UINT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetMatrixTransposePointerArray(D3DXHANDLE, const D3DXMATRIX**, UINT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetMatrixTransposePointerArray(D3DXHANDLE, D3DXMATRIX**, UINT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetString(D3DXHANDLE parameter, const char* text) override {
        ParamData* p = FindParam(parameter);
        if (!p || !text || p->type != D3DXPT_STRING)
            return D3DERR_INVALIDCALL;
        p->text = text;
        return S_OK;
    }
    STDMETHODIMP GetString(D3DXHANDLE parameter, const char** text) override {
        ParamData* p = FindParam(parameter);
        if (!p || !text || p->type != D3DXPT_STRING)
            return D3DERR_INVALIDCALL;
        *text = p->text.c_str();
        return S_OK;
    }
    STDMETHODIMP GetPixelShader(D3DXHANDLE, IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    STDMETHODIMP GetVertexShader(D3DXHANDLE, IDirect3DVertexShader9**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetArrayRange(D3DXHANDLE, UINT, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetPool(ID3DXEffectPool**) override { return E_NOTIMPL; }

    // Techniques and passes
    STDMETHODIMP SetTechnique(D3DXHANDLE technique) override {
        TechniqueData* t = FindTechnique(technique);
        if (!t)
            return D3DERR_INVALIDCALL;
        m_pTechnique = t;
        return S_OK;
    }
    STDMETHODIMP_(D3DXHANDLE) GetCurrentTechnique() override { return ToHandle(m_pTechnique); }
    STDMETHODIMP ValidateTechnique(D3DXHANDLE) override { return E_NOTIMPL; }
    STDMETHODIMP FindNextValidTechnique(D3DXHANDLE, D3DXHANDLE*) override { return E_NOTIMPL; }
    STDMETHODIMP_(WINBOOL) IsParameterUsed(D3DXHANDLE, D3DXHANDLE) override { return FALSE; }

    STDMETHODIMP Begin(UINT* passes, DWORD flags) override;
    STDMETHODIMP BeginPass(UINT pass) override;
    STDMETHODIMP CommitChanges() override {
        if (!m_pActivePass)
            return D3DERR_INVALIDCALL;
        return ApplyPass(*m_pActivePass, 0);
    }
    STDMETHODIMP EndPass() override {
        if (!m_pActivePass)
            return D3DERR_INVALIDCALL;
        m_pActivePass = nullptr;
        return S_OK;
    }
    STDMETHODIMP End() override;

    STDMETHODIMP GetDevice(IDirect3DDevice9** device) override {
        if (!device)
            return D3DERR_INVALIDCALL;
        m_spDevice.copy_to(device);
        return S_OK;
    }
    STDMETHODIMP OnLostDevice() override { return E_NOTIMPL; }
    STDMETHODIMP OnResetDevice() override { return E_NOTIMPL; }
    STDMETHODIMP SetStateManager(ID3DXEffectStateManager*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStateManager(ID3DXEffectStateManager**) override { return E_NOTIMPL; }
    STDMETHODIMP BeginParameterBlock() override { return E_NOTIMPL; }
    STDMETHODIMP_(D3DXHANDLE) EndParameterBlock() override { return nullptr; }
    STDMETHODIMP ApplyParameterBlock(D3DXHANDLE) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteParameterBlock(D3DXHANDLE) override { return E_NOTIMPL; }
    STDMETHODIMP CloneEffect(IDirect3DDevice9*, ID3DXEffect**) override { return E_NOTIMPL; }
    STDMETHODIMP SetRawValue(D3DXHANDLE, const void*, UINT, UINT) override { return E_NOTIMPL; }

  private:
    ~CFxEffect() = default;

    // A handle is one of ours, or else the name of one (as D3DX allows).
    template <typename List>
    static auto FindByHandleOrName(const List& items, D3DXHANDLE h)
        -> decltype(items.front().get()) {
        if (!h)
            return nullptr;
        for (const auto& item : items) {
            if (ToHandle(item.get()) == h)
                return item.get();
        }
        for (const auto& item : items) {
            if (item->name == h)
                return item.get();
        }
        return nullptr;
    }
    ParamData* FindParam(D3DXHANDLE h) const { return FindByHandleOrName(m_params, h); }
    ParamData* FindScalar(D3DXHANDLE h) const {
        ParamData* p = FindParam(h);
        return p && p->Numeric() && p->Count() == 1 ? p : nullptr;
    }
    ParamData* FindMatrix(D3DXHANDLE h) const {
        ParamData* p = FindParam(h);
        return p && p->type == D3DXPT_FLOAT &&
                       (p->cls == D3DXPC_MATRIX_ROWS || p->cls == D3DXPC_MATRIX_COLUMNS)
                   ? p
                   : nullptr;
    }
    TechniqueData* FindTechnique(D3DXHANDLE h) const { return FindByHandleOrName(m_techniques, h); }
    PassData* FindPass(D3DXHANDLE h) const {
        if (!h)
            return nullptr;
        for (const auto& t : m_techniques) {
            for (const auto& p : t->passes) {
                if (ToHandle(p.get()) == h)
                    return p.get();
            }
        }
        return nullptr;
    }
    HRESULT SetScalar(D3DXHANDLE parameter, D3DXPARAMETER_TYPE from, DWORD raw) {
        ParamData* p = FindScalar(parameter);
        if (!p)
            return D3DERR_INVALIDCALL;
        p->value[0] = Convert(p->type, from, raw);
        return S_OK;
    }

    HRESULT BuildParameter(const fx::Parameter& decl, std::string& messages);
    HRESULT BuildPass(const fx::Pass& decl, PassData& pass, std::string& messages);
    bool ResolveValue(const StateName& state, const fx::StateValue& value, DWORD& out) const;
    bool BuildSamplerState(const fx::State& s, PassOp& op, std::string& messages) const;
    HRESULT AssembleShader(const fx::StateValue& value, bool pixel, PassData& pass, PassOp& op,
                           std::string& messages);
    ParamData* ParamByName(const std::string& name) const {
        for (const auto& p : m_params) {
            if (p->name == name)
                return p.get();
        }
        return nullptr;
    }

    // The filter leaves out the states that Begin's flags say not to save.
    HRESULT ApplyPass(const PassData& pass, DWORD saveFlags);
    HRESULT ApplyOp(const PassOp& op);
    HRESULT ApplyConstant(const PassOp& op);

    ULONG m_nRef = 1;
    ComPtr<IDirect3DDevice9> m_spDevice;
    std::vector<std::unique_ptr<ParamData>> m_params;
    std::vector<std::unique_ptr<TechniqueData>> m_techniques;
    TechniqueData* m_pTechnique = nullptr;
    bool m_bBegun = false;
    PassData* m_pActivePass = nullptr;
    ComPtr<IDirect3DStateBlock9> m_spSavedState;
};

// ---- building ----

HRESULT CFxEffect::BuildParameter(const fx::Parameter& decl, std::string& messages) {
    auto p = std::make_unique<ParamData>();
    p->name = decl.name;
    p->semantic = decl.semantic;
    p->rows = static_cast<UINT>(decl.rows);
    p->columns = static_cast<UINT>(decl.columns);
    switch (decl.kind) {
    case fx::ParamKind::Float:
        p->type = D3DXPT_FLOAT;
        break;
    case fx::ParamKind::Int:
        p->type = D3DXPT_INT;
        break;
    case fx::ParamKind::Bool:
        p->type = D3DXPT_BOOL;
        break;
    case fx::ParamKind::Texture:
        p->type = D3DXPT_TEXTURE;
        break;
    case fx::ParamKind::Sampler:
        p->type = D3DXPT_SAMPLER;
        break;
    case fx::ParamKind::String:
        p->type = D3DXPT_STRING;
        p->text = decl.text;
        break;
    }
    if (!p->Numeric())
        p->cls = D3DXPC_OBJECT;
    else if (p->rows > 1)
        p->cls = decl.rowMajor ? D3DXPC_MATRIX_ROWS : D3DXPC_MATRIX_COLUMNS;
    else if (p->columns > 1)
        p->cls = D3DXPC_VECTOR;
    // Initialisers are written row by row, whatever the storage order.
    if (p->Numeric() && !decl.initial.empty()) {
        for (UINT r = 0; r < p->rows; ++r) {
            for (UINT c = 0; c < p->columns; ++c) {
                const float f = static_cast<float>(decl.initial[r * p->columns + c]);
                p->value[p->Slot(r, c)] = Convert(p->type, D3DXPT_FLOAT, FloatBits(f));
            }
        }
    }
    for (const fx::State& s : decl.samplerStates) {
        if (fx::EqualsNoCase(s.name, "Texture")) {
            ParamData* t = s.value.kind == fx::StateValue::Kind::Reference
                               ? ParamByName(s.value.text)
                               : nullptr;
            if (s.value.kind == fx::StateValue::Kind::Null) {
                p->samplerTexture = nullptr;
                continue;
            }
            if (!t || t->type != D3DXPT_TEXTURE) {
                messages += fx::FormatError(s.value.position, "X3020",
                                            "sampler texture must be a texture parameter");
                return E_FAIL;
            }
            p->samplerTexture = t;
            continue;
        }
        PassOp op;
        if (!BuildSamplerState(s, op, messages))
            return E_FAIL;
        p->samplerStates.emplace_back(static_cast<D3DSAMPLERSTATETYPE>(op.state), op.value);
    }
    m_params.push_back(std::move(p));
    return S_OK;
}

bool CFxEffect::ResolveValue(const StateName& state, const fx::StateValue& value,
                             DWORD& out) const {
    if (value.kind == fx::StateValue::Kind::Numbers && value.numbers.size() == 1) {
        const double d = value.numbers[0];
        if (state.form == ValueForm::Float)
            out = FloatBits(static_cast<float>(d));
        else if (d < -2147483648.0 || d > 4294967295.0)
            return false;
        else
            out = d < 0 ? static_cast<DWORD>(static_cast<INT>(d)) : static_cast<DWORD>(d);
        return true;
    }
    if (value.kind != fx::StateValue::Kind::Identifier || !state.names)
        return false;
    if (state.form != ValueForm::Flags)
        return FindEnum(state.names, value.text, out);
    out = 0;
    size_t begin = 0;
    while (begin <= value.text.size()) {
        const size_t bar = std::min(value.text.find('|', begin), value.text.size());
        DWORD flag;
        if (!FindEnum(state.names, value.text.substr(begin, bar - begin), flag))
            return false;
        out |= flag;
        begin = bar + 1;
    }
    return true;
}

bool CFxEffect::BuildSamplerState(const fx::State& s, PassOp& op, std::string& messages) const {
    const StateName* st = FindState(kSamplerStates, std::size(kSamplerStates), s.name);
    if (!st) {
        messages += fx::FormatError(s.position, "X3000", "unknown sampler state '" + s.name + "'");
        return false;
    }
    if (!ResolveValue(*st, s.value, op.value)) {
        messages += fx::FormatError(s.value.position, "X3000",
                                    "invalid value for state '" + std::string(st->name) + "'");
        return false;
    }
    op.kind = OpKind::SamplerState;
    op.state = st->state;
    return true;
}

HRESULT CFxEffect::AssembleShader(const fx::StateValue& value, bool pixel, PassData& pass,
                                  PassOp& op, std::string& messages) {
    op.kind = pixel ? OpKind::PixelShader : OpKind::VertexShader;
    if (value.kind == fx::StateValue::Kind::Null)
        return S_OK;
    if (value.kind != fx::StateValue::Kind::Asm) {
        messages +=
            fx::FormatError(value.position, "X3000", "a shader state takes asm { ... } or NULL");
        return E_FAIL;
    }
    ComPtr<ID3DXBuffer> code;
    ComPtr<ID3DXBuffer> errors;
    const HRESULT hr = D3DXAssembleShader(value.text.data(), static_cast<UINT>(value.text.size()),
                                          nullptr, nullptr, 0, code.put(), errors.put());
    if (FAILED(hr) || !code) {
        messages += fx::FormatError(value.position, "X5000", "shader assembly failed");
        if (errors && errors->GetBufferPointer()) {
            messages.append(static_cast<const char*>(errors->GetBufferPointer()),
                            strnlen(static_cast<const char*>(errors->GetBufferPointer()),
                                    errors->GetBufferSize()));
            if (!messages.empty() && messages.back() != '\n')
                messages += '\n';
        }
        // A compile error, like any other in the text.
        return E_FAIL;
    }
    const DWORD* function = static_cast<const DWORD*>(code->GetBufferPointer());
    if (pixel) {
        RETURN_IF_FAILED(m_spDevice->CreatePixelShader(function, op.pixelShader.put()));
        pass.pixelCode = code;
    } else {
        RETURN_IF_FAILED(m_spDevice->CreateVertexShader(function, op.vertexShader.put()));
        pass.vertexCode = code;
    }
    return S_OK;
}

HRESULT CFxEffect::BuildPass(const fx::Pass& decl, PassData& pass, std::string& messages) {
    pass.name = decl.name;
    for (const fx::State& s : decl.states) {
        PassOp op;
        op.index = s.index < 0 ? 0 : static_cast<DWORD>(s.index);
        const std::string& n = s.name;
        auto fail = [&](const fx::Position& at, const std::string& text) {
            messages += fx::FormatError(at, "X3000", text);
            return E_FAIL;
        };
        auto reference = [&](D3DXPARAMETER_TYPE type) -> ParamData* {
            if (s.value.kind != fx::StateValue::Kind::Reference &&
                s.value.kind != fx::StateValue::Kind::Identifier)
                return nullptr;
            ParamData* p = ParamByName(s.value.text);
            return p && p->type == type ? p : nullptr;
        };
        if (fx::EqualsNoCase(n, "PixelShader") || fx::EqualsNoCase(n, "VertexShader")) {
            if (s.index >= 0)
                return fail(s.position, "state '" + n + "' takes no subscript");
            RETURN_IF_FAILED(
                AssembleShader(s.value, fx::EqualsNoCase(n, "PixelShader"), pass, op, messages));
        } else if (fx::EqualsNoCase(n, "Texture")) {
            op.kind = OpKind::Texture;
            if (s.value.kind != fx::StateValue::Kind::Null &&
                !(op.param = reference(D3DXPT_TEXTURE)))
                return fail(s.value.position, "Texture[n] takes a texture parameter or NULL");
        } else if (fx::EqualsNoCase(n, "Sampler")) {
            op.kind = OpKind::Sampler;
            if (!(op.param = reference(D3DXPT_SAMPLER)))
                return fail(s.value.position, "Sampler[n] takes a sampler parameter");
        } else if (const StateName* st = FindState(kSamplerStates, std::size(kSamplerStates), n)) {
            (void)st;
            if (!BuildSamplerState(s, op, messages))
                return E_FAIL;
        } else if (const StateName* rs = FindState(kRenderStates, std::size(kRenderStates), n)) {
            if (s.index >= 0)
                return fail(s.position, "state '" + n + "' takes no subscript");
            if (!ResolveValue(*rs, s.value, op.value))
                return fail(s.value.position,
                            "invalid value for state '" + std::string(rs->name) + "'");
            op.kind = OpKind::RenderState;
            op.state = rs->state;
        } else {
            // PixelShaderConstant{F,I,B,1-4,} and the vertex-shader forms.
            std::string rest;
            if (n.size() > 19 && fx::EqualsNoCase(n.substr(0, 19), "PixelShaderConstant")) {
                op.pixel = true;
                rest = n.substr(19);
            } else if (n.size() > 20 && fx::EqualsNoCase(n.substr(0, 20), "VertexShaderConstant")) {
                op.pixel = false;
                rest = n.substr(20);
            } else if (fx::EqualsNoCase(n, "PixelShaderConstant") ||
                       fx::EqualsNoCase(n, "VertexShaderConstant")) {
                op.pixel = n[0] == 'P' || n[0] == 'p';
            } else {
                return fail(s.position, "unknown state '" + n + "'");
            }
            if (rest.size() > 1)
                return fail(s.position, "unknown state '" + n + "'");
            const char form = rest.empty() ? 'F' : static_cast<char>(std::toupper(rest[0]));
            if (form >= '1' && form <= '4') {
                op.constantType = 'F';
                op.registers = static_cast<UINT>(form - '0');
            } else if (form == 'F' || form == 'I' || form == 'B') {
                op.constantType = form;
            } else {
                return fail(s.position, "unknown state '" + n + "'");
            }
            if (s.index < 0)
                return fail(s.position, "state '" + n + "' needs a register subscript");
            op.kind = OpKind::Constant;
            if (s.value.kind == fx::StateValue::Kind::Numbers) {
                op.literal = s.value.numbers;
            } else if (s.value.kind == fx::StateValue::Kind::Reference ||
                       s.value.kind == fx::StateValue::Kind::Identifier) {
                op.param = ParamByName(s.value.text);
                if (!op.param || !op.param->Numeric())
                    return fail(s.value.position,
                                "shader constants take numbers or a numeric parameter");
            } else {
                return fail(s.value.position, "shader constants take numbers or a parameter");
            }
            const size_t count = op.param ? op.param->Count() : op.literal.size();
            if (op.registers == 0 && op.constantType == 'B')
                op.registers = static_cast<UINT>(count);
            else if (op.registers == 0 && op.param && op.param->rows > 1)
                op.registers = op.param->RegisterCount();
            else if (op.registers == 0)
                op.registers = static_cast<UINT>((count + 3) / 4);
            if (op.registers == 0 || op.registers > 256)
                return fail(s.value.position, "invalid shader constant size");
        }
        pass.ops.push_back(std::move(op));
    }
    return S_OK;
}

HRESULT CFxEffect::Build(const fx::Effect& effect, std::string& messages) {
    for (const fx::Parameter& decl : effect.parameters)
        RETURN_IF_FAILED(BuildParameter(decl, messages));
    for (const fx::Technique& tdecl : effect.techniques) {
        auto t = std::make_unique<TechniqueData>();
        t->name = tdecl.name;
        for (const fx::Pass& pdecl : tdecl.passes) {
            auto p = std::make_unique<PassData>();
            RETURN_IF_FAILED(BuildPass(pdecl, *p, messages));
            t->passes.push_back(std::move(p));
        }
        m_techniques.push_back(std::move(t));
    }
    if (!m_techniques.empty())
        m_pTechnique = m_techniques.front().get();
    return S_OK;
}

// ---- drawing ----

HRESULT CFxEffect::ApplyConstant(const PassOp& op) {
    const size_t width = op.constantType == 'B' ? 1 : 4;
    std::vector<DWORD> data(op.registers * width, 0);
    const D3DXPARAMETER_TYPE target = op.constantType == 'F'   ? D3DXPT_FLOAT
                                      : op.constantType == 'I' ? D3DXPT_INT
                                                               : D3DXPT_BOOL;
    if (op.param && width == 4 && op.param->rows > 1) {
        // One register per stored row or column, padded to four components.
        const ParamData& p = *op.param;
        const UINT lines = std::min(op.registers, p.RegisterCount());
        const UINT length = p.Count() / p.RegisterCount();
        for (UINT line = 0; line < lines; ++line) {
            for (UINT i = 0; i < length; ++i)
                data[line * 4 + i] = Convert(target, p.type, p.value[line * length + i]);
        }
    } else if (op.param) {
        const size_t n = std::min<size_t>(data.size(), op.param->Count());
        for (size_t i = 0; i < n; ++i)
            data[i] = Convert(target, op.param->type, op.param->value[i]);
    } else {
        const size_t n = std::min(data.size(), op.literal.size());
        for (size_t i = 0; i < n; ++i)
            data[i] = Convert(target, D3DXPT_FLOAT, FloatBits(static_cast<float>(op.literal[i])));
    }
    IDirect3DDevice9* d = m_spDevice.get();
    const UINT r = op.registers;
    switch (op.constantType) {
    case 'F':
        return op.pixel
                   ? d->SetPixelShaderConstantF(op.index, reinterpret_cast<float*>(data.data()), r)
                   : d->SetVertexShaderConstantF(op.index, reinterpret_cast<float*>(data.data()),
                                                 r);
    case 'I':
        return op.pixel
                   ? d->SetPixelShaderConstantI(op.index, reinterpret_cast<int*>(data.data()), r)
                   : d->SetVertexShaderConstantI(op.index, reinterpret_cast<int*>(data.data()), r);
    default:
        return op.pixel
                   ? d->SetPixelShaderConstantB(op.index, reinterpret_cast<BOOL*>(data.data()), r)
                   : d->SetVertexShaderConstantB(op.index, reinterpret_cast<BOOL*>(data.data()), r);
    }
}

HRESULT CFxEffect::ApplyOp(const PassOp& op) {
    IDirect3DDevice9* d = m_spDevice.get();
    switch (op.kind) {
    case OpKind::RenderState:
        return d->SetRenderState(static_cast<D3DRENDERSTATETYPE>(op.state), op.value);
    case OpKind::SamplerState:
        return d->SetSamplerState(op.index, static_cast<D3DSAMPLERSTATETYPE>(op.state), op.value);
    case OpKind::Texture:
        return d->SetTexture(op.index, op.param ? op.param->texture.get() : nullptr);
    case OpKind::Sampler:
        for (const auto& [type, value] : op.param->samplerStates)
            RETURN_IF_FAILED(d->SetSamplerState(op.index, type, value));
        if (op.param->samplerTexture)
            return d->SetTexture(op.index, op.param->samplerTexture->texture.get());
        return S_OK;
    case OpKind::PixelShader:
        return d->SetPixelShader(op.pixelShader.get());
    case OpKind::VertexShader:
        return d->SetVertexShader(op.vertexShader.get());
    case OpKind::Constant:
        return ApplyConstant(op);
    }
    return E_UNEXPECTED;
}

HRESULT CFxEffect::ApplyPass(const PassData& pass, DWORD saveFlags) {
    for (const PassOp& op : pass.ops) {
        const bool shaderState = op.kind == OpKind::PixelShader ||
                                 op.kind == OpKind::VertexShader || op.kind == OpKind::Constant;
        const bool samplerState = op.kind == OpKind::SamplerState || op.kind == OpKind::Sampler;
        if ((saveFlags & D3DXFX_DONOTSAVESHADERSTATE) && shaderState)
            continue;
        if ((saveFlags & D3DXFX_DONOTSAVESAMPLERSTATE) && samplerState)
            continue;
        RETURN_IF_FAILED(ApplyOp(op));
    }
    return S_OK;
}

HRESULT CFxEffect::Begin(UINT* passes, DWORD flags) {
    if (!m_pTechnique)
        return D3DERR_INVALIDCALL;
    // A Begin without End (a caller's frame that failed half-way) first puts
    // back what the earlier Begin saved, so the state to restore stays the
    // caller's own.
    if (m_bBegun)
        RETURN_IF_FAILED(End());
    if (!(flags & D3DXFX_DONOTSAVESTATE)) {
        // Record every state the technique's passes set, then capture the
        // device's current values of exactly those for End.
        RETURN_IF_FAILED(m_spDevice->BeginStateBlock());
        HRESULT hr = S_OK;
        for (const auto& pass : m_pTechnique->passes) {
            hr = ApplyPass(*pass, flags);
            if (FAILED(hr))
                break;
        }
        ComPtr<IDirect3DStateBlock9> block;
        const HRESULT hrEnd = m_spDevice->EndStateBlock(block.put());
        RETURN_IF_FAILED(hr);
        RETURN_IF_FAILED(hrEnd);
        RETURN_HR_IF_NULL(E_FAIL, block.get());
        RETURN_IF_FAILED(block->Capture());
        m_spSavedState = std::move(block);
    }
    m_bBegun = true;
    m_pActivePass = nullptr;
    if (passes)
        *passes = static_cast<UINT>(m_pTechnique->passes.size());
    return S_OK;
}

HRESULT CFxEffect::BeginPass(UINT pass) {
    if (!m_bBegun || m_pActivePass || pass >= m_pTechnique->passes.size())
        return D3DERR_INVALIDCALL;
    PassData& p = *m_pTechnique->passes[pass];
    RETURN_IF_FAILED(ApplyPass(p, 0));
    m_pActivePass = &p;
    return S_OK;
}

HRESULT CFxEffect::End() {
    if (!m_bBegun)
        return D3DERR_INVALIDCALL;
    m_bBegun = false;
    m_pActivePass = nullptr;
    ComPtr<IDirect3DStateBlock9> saved = std::move(m_spSavedState);
    if (saved)
        return saved->Apply();
    return S_OK;
}

} // namespace

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
