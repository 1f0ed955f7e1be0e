#pragma once

// The effect object: its parameters, techniques and passes as built from the
// syntax tree, and the ID3DXEffect over them. FxEffect.cpp holds the
// interface's lookups and values, FxBuild.cpp the building, FxDraw.cpp the
// passes on the device.

#include <d3d9.h>
#include <d3dx9.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "com/ComPtr.h"
#include "host/fx/FxStates.h"
#include "host/fx/FxSyntax.h"
#include "host/fx/FxValues.h"

namespace fxhost {

using quorvel::ComPtr;

struct ParamData;

// A parameter a compiled shader reads, and the registers it goes to: 'F',
// 'I' or 'B' constants, or 'S' a sampler.
struct ShaderBinding {
    ParamData* param = nullptr;
    char set = 'F';
    UINT index = 0;
    UINT count = 1;
};

// An assembled shader: its code and the device's shader object; a shader
// compiled from HLSL also has its constant table.
struct ShaderData {
    ComPtr<ID3DXBuffer> code;
    ComPtr<IDirect3DPixelShader9> pixel;
    ComPtr<IDirect3DVertexShader9> vertex;
    std::vector<ShaderBinding> bindings;
};

struct ParamData {
    std::string name;
    std::string semantic;
    D3DXPARAMETER_CLASS cls = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE type = D3DXPT_FLOAT;
    UINT rows = 1;
    UINT columns = 1;
    UINT elements = 0; // an array's length; 0 for one value
    // Values in storage order (column by column for MATRIX_COLUMNS), element
    // after element, each a float, INT or BOOL by `type`.
    std::vector<DWORD> value = std::vector<DWORD>(16);
    ComPtr<IDirect3DBaseTexture9> texture;
    std::vector<std::pair<D3DSAMPLERSTATETYPE, DWORD>> samplerStates;
    ParamData* samplerTexture = nullptr;
    std::string text;
    ShaderData shader; // a PixelShader or VertexShader variable

    // Values of one element, and of them all.
    UINT Count() const { return rows * columns; }
    UINT Total() const { return Count() * (elements > 0 ? elements : 1); }
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

inline D3DXHANDLE ToHandle(const void* p) { return reinterpret_cast<D3DXHANDLE>(p); }

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
    STDMETHODIMP GetDesc(D3DXEFFECT_DESC* desc) override;
    STDMETHODIMP GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) override;
    STDMETHODIMP GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) override;
    STDMETHODIMP GetPassDesc(D3DXHANDLE pass, D3DXPASS_DESC* desc) override;
    STDMETHODIMP GetFunctionDesc(D3DXHANDLE, D3DXFUNCTION_DESC*) override { return E_NOTIMPL; }

    // Handles
    STDMETHODIMP_(D3DXHANDLE) GetParameter(D3DXHANDLE parameter, UINT index) override;
    STDMETHODIMP_(D3DXHANDLE) GetParameterByName(D3DXHANDLE parameter, const char* name) override;
    STDMETHODIMP_(D3DXHANDLE)
    GetParameterBySemantic(D3DXHANDLE parameter, const char* semantic) override;
    STDMETHODIMP_(D3DXHANDLE) GetParameterElement(D3DXHANDLE, UINT) override { return nullptr; }
    STDMETHODIMP_(D3DXHANDLE) GetTechnique(UINT index) override;
    STDMETHODIMP_(D3DXHANDLE) GetTechniqueByName(const char* name) override;
    STDMETHODIMP_(D3DXHANDLE) GetPass(D3DXHANDLE technique, UINT index) override;
    STDMETHODIMP_(D3DXHANDLE) GetPassByName(D3DXHANDLE technique, const char* name) override;
    STDMETHODIMP_(D3DXHANDLE) GetFunction(UINT) override { return nullptr; }
    STDMETHODIMP_(D3DXHANDLE) GetFunctionByName(const char*) override { return nullptr; }
    // Annotations are skipped by the compiler.
    STDMETHODIMP_(D3DXHANDLE) GetAnnotation(D3DXHANDLE, UINT) override { return nullptr; }
    STDMETHODIMP_(D3DXHANDLE) GetAnnotationByName(D3DXHANDLE, const char*) override {
        return nullptr;
    }

    // Values
    STDMETHODIMP SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) override;
    STDMETHODIMP GetValue(D3DXHANDLE parameter, void* data, UINT bytes) override;
    STDMETHODIMP SetBool(D3DXHANDLE parameter, WINBOOL b) override;
    STDMETHODIMP GetBool(D3DXHANDLE parameter, WINBOOL* b) override;
    STDMETHODIMP SetInt(D3DXHANDLE parameter, INT n) override;
    STDMETHODIMP GetInt(D3DXHANDLE parameter, INT* n) override;
    STDMETHODIMP SetFloat(D3DXHANDLE parameter, FLOAT f) override;
    STDMETHODIMP GetFloat(D3DXHANDLE parameter, FLOAT* f) override;
    STDMETHODIMP SetFloatArray(D3DXHANDLE parameter, const FLOAT* f, UINT count) override;
    STDMETHODIMP GetFloatArray(D3DXHANDLE parameter, FLOAT* f, UINT count) override;
    STDMETHODIMP SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override;
    STDMETHODIMP GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override;
    STDMETHODIMP SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    STDMETHODIMP GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    STDMETHODIMP SetMatrixTranspose(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    STDMETHODIMP GetMatrixTranspose(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    STDMETHODIMP SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;
    STDMETHODIMP GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) override;

    // Arrays, strings, shader objects and pools are outside the subset.
    STDMETHODIMP SetBoolArray(D3DXHANDLE, const WINBOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetBoolArray(D3DXHANDLE, WINBOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP SetIntArray(D3DXHANDLE, const INT*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetIntArray(D3DXHANDLE, INT*, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP SetVectorArray(D3DXHANDLE parameter, const D3DXVECTOR4* vectors,
                                UINT count) override;
    STDMETHODIMP GetVectorArray(D3DXHANDLE parameter, D3DXVECTOR4* vectors, UINT count) override;
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
    STDMETHODIMP SetString(D3DXHANDLE parameter, const char* text) override;
    STDMETHODIMP GetString(D3DXHANDLE parameter, const char** text) override;
    STDMETHODIMP GetPixelShader(D3DXHANDLE, IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    STDMETHODIMP GetVertexShader(D3DXHANDLE, IDirect3DVertexShader9**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetArrayRange(D3DXHANDLE, UINT, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetPool(ID3DXEffectPool**) override { return E_NOTIMPL; }

    // Techniques and passes
    STDMETHODIMP SetTechnique(D3DXHANDLE technique) override;
    STDMETHODIMP_(D3DXHANDLE) GetCurrentTechnique() override { return ToHandle(m_pTechnique); }
    STDMETHODIMP ValidateTechnique(D3DXHANDLE) override { return E_NOTIMPL; }
    STDMETHODIMP FindNextValidTechnique(D3DXHANDLE, D3DXHANDLE*) override { return E_NOTIMPL; }
    STDMETHODIMP_(WINBOOL) IsParameterUsed(D3DXHANDLE, D3DXHANDLE) override { return FALSE; }

    STDMETHODIMP Begin(UINT* passes, DWORD flags) override;
    STDMETHODIMP BeginPass(UINT pass) override;
    STDMETHODIMP CommitChanges() override;
    STDMETHODIMP EndPass() override;
    STDMETHODIMP End() override;

    STDMETHODIMP GetDevice(IDirect3DDevice9** device) override;
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
        return p && p->Numeric() && p->Count() == 1 && p->elements == 0 ? p : nullptr;
    }
    ParamData* FindMatrix(D3DXHANDLE h) const {
        ParamData* p = FindParam(h);
        return p && p->type == D3DXPT_FLOAT && p->elements == 0 &&
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
    bool BuildSamplerState(const fx::State& s, PassOp& op, std::string& messages) const;
    HRESULT AssembleShader(const fx::StateValue& value, bool pixel, ShaderData& shader,
                           std::string& messages);
    HRESULT CompileShader(const fx::StateValue& value, bool pixel, ShaderData& shader,
                          std::string& messages);
    // The pass ops that set what a compiled shader reads from the parameters.
    static void AddBindingOps(const ShaderData& shader, bool pixel, std::vector<PassOp>& ops);
    HRESULT CheckShaderPair(const fx::Pass& decl, const PassData& pass, std::string& messages);
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
    // While building: the effect's HLSL, and each compile statement's shader
    // by profile, entry and arguments, so that passes share one compile.
    const fx::HlslSource* m_pHlsl = nullptr;
    std::map<std::string, ShaderData> m_compiled;
};

} // namespace fxhost
