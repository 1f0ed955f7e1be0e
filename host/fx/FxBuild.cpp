// Building the effect object from the syntax tree: parameters, states and
// shaders, each failure a compile message.

#include <cctype>

#include <cstring>

#include "com/HResult.h"
#include "com/ScopeExit.h"
#include "host/fx/FxAsmText.h"
#include "host/fx/FxCompileProcess.h"
#include "host/fx/FxObject.h"
#include "host/fx/FxShaderCheck.h"

namespace fxhost {

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
    case fx::ParamKind::PixelShader:
    case fx::ParamKind::VertexShader: {
        const bool pixel = decl.kind == fx::ParamKind::PixelShader;
        p->type = pixel ? D3DXPT_PIXELSHADER : D3DXPT_VERTEXSHADER;
        RETURN_IF_FAILED(AssembleShader(decl.shader, pixel, p->shader, messages));
        break;
    }
    }
    if (!p->Numeric())
        p->cls = D3DXPC_OBJECT;
    else if (p->rows > 1)
        p->cls = decl.rowMajor ? D3DXPC_MATRIX_ROWS : D3DXPC_MATRIX_COLUMNS;
    else if (p->columns > 1)
        p->cls = D3DXPC_VECTOR;
    p->elements = static_cast<UINT>(decl.elements);
    p->value.assign(std::max<size_t>(p->value.size(), p->Total()), 0);
    // Initialisers are written row by row, whatever the storage order.
    if (p->Numeric() && !decl.initial.empty()) {
        for (UINT e = 0; e < std::max(p->elements, 1u); ++e) {
            for (UINT r = 0; r < p->rows; ++r) {
                for (UINT c = 0; c < p->columns; ++c) {
                    const float f =
                        static_cast<float>(decl.initial[(e * p->rows + r) * p->columns + c]);
                    p->value[e * p->Count() + p->Slot(r, c)] =
                        Convert(p->type, D3DXPT_FLOAT, FloatBits(f));
                }
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

bool CFxEffect::BuildSamplerState(const fx::State& s, PassOp& op, std::string& messages) const {
    const StateName* st = FindSamplerState(s.name);
    if (!st) {
        messages += fx::FormatError(s.position, "X3000", "unknown sampler state '" + s.name + "'");
        return false;
    }
    if (!ResolveStateValue(*st, s.value, op.value)) {
        messages += fx::FormatError(s.value.position, "X3000",
                                    "invalid value for state '" + std::string(st->name) + "'");
        return false;
    }
    op.kind = OpKind::SamplerState;
    op.state = st->state;
    return true;
}

HRESULT CFxEffect::CompileShader(const fx::StateValue& value, bool pixel, ShaderData& shader,
                                 std::string& messages) {
    if ((value.profile[0] == 'p') != pixel) {
        messages += fx::FormatError(value.position, "X3000",
                                    "a " + std::string(pixel ? "pixel" : "vertex") +
                                        " shader cannot be compiled for " + value.profile);
        return E_FAIL;
    }
    std::string key = value.profile + " " + value.text;
    for (const std::string& a : value.arguments)
        key += " " + a;
    const auto known = m_compiled.find(key);
    if (known != m_compiled.end()) {
        shader = known->second;
        return S_OK;
    }
    fx::CompiledHlsl compiled;
    if (!m_pHlsl || !CompileHlsl(*m_pHlsl, value, compiled, messages))
        return E_FAIL;
    for (const fx::ShaderConstant& c : compiled.constants) {
        ShaderBinding b;
        b.param = ParamByName(c.name);
        b.set = c.set;
        b.index = static_cast<UINT>(c.index);
        b.count = static_cast<UINT>(c.count);
        const bool fits =
            b.param && (c.set == 'S' ? b.param->type == D3DXPT_SAMPLER : b.param->Numeric());
        if (!fits) {
            messages += fx::FormatError(value.position, "X3000",
                                        "the compiled shader reads '" + c.name +
                                            "', which is no parameter of its kind");
            return E_FAIL;
        }
        shader.bindings.push_back(b);
    }
    // The compiler's assembly goes the way of an asm { } block, checks and all.
    fx::StateValue assembly;
    assembly.kind = fx::StateValue::Kind::Asm;
    assembly.text = compiled.assembly;
    assembly.position = value.position;
    RETURN_IF_FAILED(AssembleShader(assembly, pixel, shader, messages));
    m_compiled.emplace(key, shader);
    return S_OK;
}

void CFxEffect::AddBindingOps(const ShaderData& shader, bool pixel, std::vector<PassOp>& ops) {
    for (const ShaderBinding& b : shader.bindings) {
        PassOp op;
        op.param = b.param;
        op.index = b.index;
        if (b.set == 'S') {
            op.kind = OpKind::Sampler;
            if (!pixel)
                op.index += D3DVERTEXTEXTURESAMPLER0;
        } else {
            op.kind = OpKind::Constant;
            op.pixel = pixel;
            op.constantType = b.set;
            op.registers = b.count;
        }
        ops.push_back(std::move(op));
    }
}

HRESULT CFxEffect::AssembleShader(const fx::StateValue& value, bool pixel, ShaderData& shader,
                                  std::string& messages) {
    if (value.kind == fx::StateValue::Kind::Null)
        return S_OK;
    if (value.kind == fx::StateValue::Kind::Compile)
        return CompileShader(value, pixel, shader, messages);
    if (value.kind != fx::StateValue::Kind::Asm) {
        messages += fx::FormatError(value.position, "X3000",
                                    "a shader state takes asm { ... }, compile or NULL");
        return E_FAIL;
    }
    // The text as the assembler underneath reads it; what it cannot read
    // comes back into its tokens.
    std::string text;
    std::string error;
    std::vector<fx::TokenInsert> inserts;
    if (!fx::PrepareAsm(value.text, text, inserts, error)) {
        messages += fx::FormatError(value.position, "X5000", error);
        return E_FAIL;
    }
    ComPtr<ID3DXBuffer> code;
    ComPtr<ID3DXBuffer> errors;
    const HRESULT hr = D3DXAssembleShader(text.data(), static_cast<UINT>(text.size()), nullptr,
                                          nullptr, 0, code.put(), errors.put());
    if (FAILED(hr) || !code) {
        messages += fx::FormatError(value.position, "X5000", "shader assembly failed");
        if (errors && errors->GetBufferPointer()) {
            const char* p = static_cast<const char*>(errors->GetBufferPointer());
            messages += fx::PlaceAssemblerMessages(
                std::string(p, strnlen(p, errors->GetBufferSize())), value.position);
        }
        // A compile error, like any other in the text.
        return E_FAIL;
    }
    std::vector<uint32_t> tokens(static_cast<const uint32_t*>(code->GetBufferPointer()),
                                 static_cast<const uint32_t*>(code->GetBufferPointer()) +
                                     code->GetBufferSize() / 4);
    if (!inserts.empty()) {
        fx::InsertTokens(tokens, inserts);
        code = nullptr;
        RETURN_IF_FAILED(D3DXCreateBuffer(static_cast<DWORD>(tokens.size() * 4), code.put()));
        std::memcpy(code->GetBufferPointer(), tokens.data(), tokens.size() * 4);
    }
    const DWORD* function = static_cast<const DWORD*>(code->GetBufferPointer());
    fx::ShaderFault fault;
    if (!fx::CheckShader(tokens, fault)) {
        const std::vector<fx::AsmInstruction> list = fx::ListInstructions(value.text);
        fx::Position at = value.position;
        std::string rule = fault.text;
        if (fault.instruction >= 0 && list.size() == static_cast<size_t>(fault.instructionCount)) {
            const fx::AsmInstruction& where = list[static_cast<size_t>(fault.instruction)];
            at = fx::PlaceInBlock(value.position, where.line, where.column);
            rule = where.mnemonic + ": " + rule;
        }
        messages += fx::FormatError(at, fault.code, rule);
        return E_FAIL;
    }
    if (pixel)
        RETURN_IF_FAILED(m_spDevice->CreatePixelShader(function, shader.pixel.put()));
    else
        RETURN_IF_FAILED(m_spDevice->CreateVertexShader(function, shader.vertex.put()));
    shader.code = std::move(code);
    return S_OK;
}

// Shader model 3 pixel and vertex shaders go together, as the runtime wants.
HRESULT CFxEffect::CheckShaderPair(const fx::Pass& decl, const PassData& pass,
                                   std::string& messages) {
    auto major = [](const ComPtr<ID3DXBuffer>& code) -> int {
        if (!code || code->GetBufferSize() < sizeof(DWORD))
            return 0;
        return static_cast<int>((*static_cast<const DWORD*>(code->GetBufferPointer()) >> 8) & 0xFF);
    };
    const int pixel = major(pass.pixelCode);
    const int vertex = major(pass.vertexCode);
    if ((pixel == 3) == (vertex == 3))
        return S_OK;
    messages += fx::FormatError(decl.position, "X5108",
                                pixel == 3 ? "a ps_3_0 pixel shader needs a vs_3_0 vertex shader "
                                             "in the same pass"
                                           : "a vs_3_0 vertex shader needs a ps_3_0 pixel shader "
                                             "in the same pass");
    return E_FAIL;
}

HRESULT CFxEffect::BuildPass(const fx::Pass& decl, PassData& pass, std::string& messages) {
    pass.name = decl.name;
    for (const fx::State& s : decl.states) {
        std::vector<PassOp> bindings;
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
            const bool pixel = fx::EqualsNoCase(n, "PixelShader");
            op.kind = pixel ? OpKind::PixelShader : OpKind::VertexShader;
            ShaderData shader;
            if (s.value.kind == fx::StateValue::Kind::Reference ||
                s.value.kind == fx::StateValue::Kind::Identifier) {
                // A shader variable, assembled once and shared by the passes.
                const ParamData* variable =
                    reference(pixel ? D3DXPT_PIXELSHADER : D3DXPT_VERTEXSHADER);
                if (!variable)
                    return fail(s.value.position, "state '" + n + "' takes asm { ... }, a " + n +
                                                      " variable or NULL");
                shader = variable->shader;
            } else {
                RETURN_IF_FAILED(AssembleShader(s.value, pixel, shader, messages));
            }
            op.pixelShader = shader.pixel;
            op.vertexShader = shader.vertex;
            (pixel ? pass.pixelCode : pass.vertexCode) = shader.code;
            AddBindingOps(shader, pixel, bindings);
        } else if (fx::EqualsNoCase(n, "Texture")) {
            op.kind = OpKind::Texture;
            if (s.value.kind != fx::StateValue::Kind::Null &&
                !(op.param = reference(D3DXPT_TEXTURE)))
                return fail(s.value.position, "Texture[n] takes a texture parameter or NULL");
        } else if (fx::EqualsNoCase(n, "Sampler")) {
            op.kind = OpKind::Sampler;
            if (!(op.param = reference(D3DXPT_SAMPLER)))
                return fail(s.value.position, "Sampler[n] takes a sampler parameter");
        } else if (const StateName* st = FindSamplerState(n)) {
            (void)st;
            if (!BuildSamplerState(s, op, messages))
                return E_FAIL;
        } else if (const StateName* rs = FindRenderState(n)) {
            if (s.index >= 0)
                return fail(s.position, "state '" + n + "' takes no subscript");
            if (!ResolveStateValue(*rs, s.value, op.value))
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
        for (PassOp& b : bindings)
            pass.ops.push_back(std::move(b));
    }
    return CheckShaderPair(decl, pass, messages);
}

HRESULT CFxEffect::Build(const fx::Effect& effect, std::string& messages) {
    m_pHlsl = &effect.hlsl;
    auto done = quorvel::MakeScopeExit([this] {
        m_pHlsl = nullptr;
        m_compiled.clear();
    });
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

} // namespace fxhost
