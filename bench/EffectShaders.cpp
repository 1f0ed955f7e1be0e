#include "bench/EffectShaders.h"

#include "com/CodePage.h"
#include "com/ComPtr.h"
#include "com/HResult.h"
#include "com/UniqueAny.h"
#include "host/fx/FxSyntax.h"

#include <cstdint>
#include <cstring>

namespace quorvelbench {
namespace {

using quorvel::ComPtr;

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::wstring wide;
    if (FAILED(quorvel::Widen(path, wide, CP_ACP)))
        return false;
    quorvel::UniqueHFile file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > (64LL << 20))
        return false;
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return size.QuadPart == 0 ||
           (::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) &&
            read == text.size());
}

// A quoted include beside the file that includes it, as the framework finds it.
bool OpenBeside(const std::string& name, const std::string& includer, std::string& text,
                std::string& displayName) {
    const size_t slash = includer.find_last_of("\\/");
    std::string path =
        (slash == std::string::npos ? std::string() : includer.substr(0, slash + 1)) + name;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    if (!ReadWholeFile(path, text))
        return false;
    displayName = path;
    return true;
}

HRESULT Add(const fx::StateValue& value, bool pixel, EffectShaders& shaders, std::string& messages,
            int& index) {
    index = -1;
    if (value.kind == fx::StateValue::Kind::Null)
        return S_OK;
    if (value.kind != fx::StateValue::Kind::Asm) {
        messages =
            fx::FormatError(value.position, "X3000", "the controls read asm { } shaders only");
        return D3DXERR_INVALIDDATA;
    }
    EffectShader shader;
    shader.pixel = pixel;
    std::string error;
    if (!fx::PrepareAsm(value.text, shader.text, shader.inserts, error)) {
        messages = fx::FormatError(value.position, "X5000", error);
        return D3DXERR_INVALIDDATA;
    }
    index = static_cast<int>(shaders.shaders.size());
    shaders.shaders.push_back(std::move(shader));
    return S_OK;
}

} // namespace

HRESULT AssembleEffectShader(AssembleShaderFn assemble, const EffectShader& shader,
                             std::vector<DWORD>& code) {
    code.clear();
    ComPtr<ID3DXBuffer> tokens, errors;
    RETURN_IF_FAILED(assemble(shader.text.data(), static_cast<UINT>(shader.text.size()), nullptr,
                              nullptr, 0, tokens.put(), errors.put()));
    RETURN_HR_IF_NULL(E_FAIL, tokens);
    const auto* first = static_cast<const uint32_t*>(tokens->GetBufferPointer());
    std::vector<uint32_t> words(first, first + tokens->GetBufferSize() / sizeof(uint32_t));
    fx::InsertTokens(words, shader.inserts);
    code.assign(words.begin(), words.end());
    return S_OK;
}

HRESULT ReadEffectShaders(const std::wstring& path, const std::string& technique,
                          AssembleShaderFn assemble, EffectShaders& shaders,
                          std::string& messages) {
    shaders = EffectShaders();
    messages.clear();
    std::string fileName, text;
    RETURN_IF_FAILED(quorvel::Narrow(path, fileName, CP_ACP));
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), !ReadWholeFile(fileName, text));
    fx::Effect effect;
    RETURN_HR_IF(static_cast<HRESULT>(D3DXERR_INVALIDDATA),
                 !fx::ParseEffect(text, fileName, OpenBeside, effect, messages));

    // Shader variables are assembled once and shared by the passes that name them.
    std::vector<std::pair<std::string, int>> variables;
    for (const fx::Parameter& p : effect.parameters) {
        const bool pixel = p.kind == fx::ParamKind::PixelShader;
        if (!pixel && p.kind != fx::ParamKind::VertexShader)
            continue;
        int index = -1;
        RETURN_IF_FAILED(Add(p.shader, pixel, shaders, messages, index));
        variables.emplace_back(p.name, index);
    }
    bool found = false;
    for (const fx::Technique& t : effect.techniques) {
        const bool chosen = !found && t.name == technique;
        found = found || chosen;
        for (const fx::Pass& pass : t.passes) {
            EffectShaders::Pass drawn;
            for (const fx::State& s : pass.states) {
                const bool pixel = fx::EqualsNoCase(s.name, "PixelShader");
                if (!pixel && !fx::EqualsNoCase(s.name, "VertexShader"))
                    continue;
                int index = -1;
                if (s.value.kind == fx::StateValue::Kind::Reference ||
                    s.value.kind == fx::StateValue::Kind::Identifier) {
                    for (const auto& [name, at] : variables)
                        index = name == s.value.text ? at : index;
                } else {
                    RETURN_IF_FAILED(Add(s.value, pixel, shaders, messages, index));
                }
                (pixel ? drawn.pixel : drawn.vertex) = index;
            }
            if (chosen)
                shaders.passes.push_back(drawn);
        }
    }
    if (!found) {
        messages = fileName + ": no technique '" + technique + "'";
        return D3DXERR_INVALIDDATA;
    }
    for (EffectShader& shader : shaders.shaders)
        RETURN_IF_FAILED(AssembleEffectShader(assemble, shader, shader.code));
    return S_OK;
}

} // namespace quorvelbench
