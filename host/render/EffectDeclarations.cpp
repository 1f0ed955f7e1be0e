#include "host/render/EffectDeclarations.h"

#include "com/ComPtr.h"
#include "com/HResult.h"
#include "effect/EffectFromFile.h"
#include "effect/HostContract.h"
#include "host/render/ToolSupport.h"

#include <cwctype>

namespace quorvelrender {
namespace {

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (unsigned char c : text)
        wide += static_cast<wchar_t>(c);
    return wide;
}

std::wstring Widen(const char* text) { return text ? Widen(std::string(text)) : std::wstring(); }

std::wstring NumericType(D3DXPARAMETER_TYPE type) {
    switch (type) {
    case D3DXPT_BOOL:
        return L"bool";
    case D3DXPT_INT:
        return L"int";
    case D3DXPT_FLOAT:
        return L"float";
    default:
        return L"void";
    }
}

// The type as an effect spells it, from its class and type.
std::wstring TypeName(const D3DXPARAMETER_DESC& desc) {
    switch (desc.Class) {
    case D3DXPC_SCALAR:
        return NumericType(desc.Type);
    case D3DXPC_VECTOR:
        return NumericType(desc.Type) + std::to_wstring(desc.Columns);
    case D3DXPC_MATRIX_ROWS:
    case D3DXPC_MATRIX_COLUMNS:
        return NumericType(desc.Type) + std::to_wstring(desc.Rows) + L"x" +
               std::to_wstring(desc.Columns);
    case D3DXPC_STRUCT:
        return L"struct";
    default:
        break;
    }
    switch (desc.Type) {
    case D3DXPT_STRING:
        return L"string";
    case D3DXPT_TEXTURE:
        return L"texture";
    case D3DXPT_TEXTURE1D:
        return L"texture1D";
    case D3DXPT_TEXTURE2D:
        return L"texture2D";
    case D3DXPT_TEXTURE3D:
        return L"texture3D";
    case D3DXPT_TEXTURECUBE:
        return L"textureCUBE";
    case D3DXPT_SAMPLER:
        return L"sampler";
    case D3DXPT_SAMPLER1D:
        return L"sampler1D";
    case D3DXPT_SAMPLER2D:
        return L"sampler2D";
    case D3DXPT_SAMPLER3D:
        return L"sampler3D";
    case D3DXPT_SAMPLERCUBE:
        return L"samplerCUBE";
    case D3DXPT_PIXELSHADER:
        return L"PixelShader";
    case D3DXPT_VERTEXSHADER:
        return L"VertexShader";
    default:
        return L"object";
    }
}

} // namespace

HRESULT ReadDeclarations(ID3DXEffect* effect, EffectDeclarations& declarations) {
    declarations = EffectDeclarations{};
    RETURN_HR_IF(E_POINTER, !effect);
    D3DXEFFECT_DESC desc = {};
    RETURN_IF_FAILED(effect->GetDesc(&desc));
    EffectDeclarations read;
    for (UINT i = 0; i < desc.Parameters; ++i) {
        D3DXPARAMETER_DESC parameter = {};
        const D3DXHANDLE handle = effect->GetParameter(nullptr, i);
        RETURN_HR_IF_NULL(E_FAIL, handle);
        RETURN_IF_FAILED(effect->GetParameterDesc(handle, &parameter));
        if (parameter.Semantic && *parameter.Semantic)
            read.parameters.push_back(
                {TypeName(parameter), Widen(parameter.Name), Widen(parameter.Semantic)});
    }
    for (UINT t = 0; t < desc.Techniques; ++t) {
        D3DXTECHNIQUE_DESC technique = {};
        const D3DXHANDLE handle = effect->GetTechnique(t);
        RETURN_HR_IF_NULL(E_FAIL, handle);
        RETURN_IF_FAILED(effect->GetTechniqueDesc(handle, &technique));
        if (technique.Name && *technique.Name)
            read.techniques.push_back(Widen(technique.Name));
        for (UINT p = 0; p < technique.Passes; ++p) {
            D3DXPASS_DESC pass = {};
            const D3DXHANDLE passHandle = effect->GetPass(handle, p);
            RETURN_HR_IF_NULL(E_FAIL, passHandle);
            RETURN_IF_FAILED(effect->GetPassDesc(passHandle, &pass));
            read.vertexShader = read.vertexShader || pass.pVertexShaderFunction != nullptr;
        }
    }
    declarations = std::move(read);
    return S_OK;
}

HRESULT DescribeEffect(HMODULE framework, IDirect3DDevice9* device, const std::wstring& path,
                       EffectDeclarations& declarations, std::wstring& messages) {
    declarations = EffectDeclarations{};
    messages.clear();
    RETURN_HR_IF(E_POINTER, !framework || !device);
    quorvel::EffectCompiler compiler;
    compiler.fromFile = reinterpret_cast<decltype(compiler.fromFile)>(
        reinterpret_cast<void*>(::GetProcAddress(framework, "D3DXCreateEffectFromFileW")));
    compiler.fromMemory = reinterpret_cast<decltype(compiler.fromMemory)>(
        reinterpret_cast<void*>(::GetProcAddress(framework, "D3DXCreateEffect")));
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND),
                 !compiler.fromFile || !compiler.fromMemory);
    quorvel::ComPtr<ID3DXEffect> effect;
    quorvel::ComPtr<ID3DXBuffer> said;
    const HRESULT hr =
        quorvel::CreateEffectFromFile(compiler, device, path.c_str(), effect.put(), said.put());
    if (said)
        messages = quorvel::CompilerMessages(said.get());
    RETURN_IF_FAILED(hr);
    return ReadDeclarations(effect.get(), declarations);
}

// Comments are where the lines live; strings and block comments are skipped
// so that a "//" inside either is no line.
std::vector<std::wstring> RenderLines(const std::string& text) {
    std::vector<std::wstring> lines;
    const std::string prefix = quorvel::kRenderLinePrefix;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "//") == 0) {
            const size_t end = text.find('\n', i);
            const std::string line = text.substr(i, end == std::string::npos ? end : end - i);
            if (line.compare(0, prefix.size(), prefix) == 0)
                lines.push_back(Widen(line.substr(prefix.size())));
            i = end == std::string::npos ? text.size() : end;
        } else if (text.compare(i, 2, "/*") == 0) {
            const size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 2;
        } else if (text[i] == '"') {
            const size_t end = text.find('"', i + 1);
            i = end == std::string::npos ? text.size() : end + 1;
        } else {
            ++i;
        }
    }
    return lines;
}

bool ReadRenderLines(const std::wstring& path, std::vector<std::wstring>& lines) {
    std::string text;
    if (!IsFile(path) || !ReadText(path, text))
        return false;
    lines = RenderLines(text);
    return true;
}

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

bool IsBoundSemantic(const std::wstring& semantic) {
    for (const char* bound : quorvel::g_inputTextureSemantics)
        if (EqualsIgnoringCase(semantic, Widen(bound)))
            return true;
    for (const char* bound : quorvel::g_boundSemantics)
        if (EqualsIgnoringCase(semantic, Widen(bound)))
            return true;
    return false;
}

} // namespace quorvelrender
