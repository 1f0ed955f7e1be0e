#include "transform/ShaderBase.h"

#include "com/HResult.h"
#include "com/PropVariant.h"
#include "effect/EffectFromFile.h"
#include "effect/FindShaderFile.h"
#include "effect/HostContract.h"
#include "pipeline/PipelineLibrary.h"

#include <d3dx9.h>

#include <iterator>
#include <string>

using quorvel::ComPtr;
using quorvel::UniquePropVariant;

HRESULT CShaderBase::CreateEffect(IDirect3DDevice9* device) {
    COM_METHOD_BEGIN
    IParameterStore* store = m_spParameterStore.get();
    UniquePropVariant value;

    // The first name decides whenever it holds anything.
    static_assert(std::size(quorvel::g_effectFileParameters) == 2, "a name and its fallback");
    if (FAILED(quorvel::ReadNamedValue(store, quorvel::g_effectFileParameters[0], value.put())) ||
        value.empty())
        RETURN_IF_FAILED(
            quorvel::ReadNamedValue(store, quorvel::g_effectFileParameters[1], value.put()));
    RETURN_HR_IF(E_FAIL, value.vt() != VT_BSTR);

    wchar_t path[MAX_PATH] = {};
    RETURN_IF_FAILED(FindShaderFile(path, value.get().bstrVal));
    value.reset();

    RETURN_IF_FAILED(quorvel::ReadNamedValue(store, quorvel::kTechniqueParameter, value.put()));
    RETURN_HR_IF(E_FAIL, value.vt() != VT_BSTR);
    m_strTechnique = value.get().bstrVal ? value.get().bstrVal : L"";
    value.reset();

    ComPtr<ID3DXBuffer> messages;
    const quorvel::EffectCompiler compiler = {&D3DXCreateEffectFromFileW, &D3DXCreateEffect};
    const HRESULT hr =
        quorvel::CreateEffectFromFile(compiler, device, path, m_spEffect.put(), messages.put());

    if (messages) {
        const std::wstring text = quorvel::CompilerMessages(messages.get());
        ::OutputDebugStringW(text.c_str());
        ::OutputDebugStringW(L"\n");
    }

    if (FAILED(hr)) {
        m_spEffect.reset();
        return hr;
    }
    RETURN_HR_IF_NULL(E_POINTER, m_spEffect);

    // Looked up once; a semantic the effect lacks gives null.
    using quorvel::BoundSemantic;
    constexpr auto at = [](BoundSemantic semantic) { return static_cast<size_t>(semantic); };
    D3DXHANDLE* handles[at(BoundSemantic::Count)] = {};
    handles[at(BoundSemantic::World)] = &m_hWorld;
    handles[at(BoundSemantic::View)] = &m_hView;
    handles[at(BoundSemantic::Projection)] = &m_hProjection;
    handles[at(BoundSemantic::WorldView)] = &m_hWorldView;
    handles[at(BoundSemantic::WorldViewProjection)] = &m_hWorldViewProjection;
    handles[at(BoundSemantic::Duration)] = &m_hDuration;
    handles[at(BoundSemantic::Time)] = &m_hTime;
    handles[at(BoundSemantic::InputSize)] = &m_hInputSize;
    handles[at(BoundSemantic::OutputSize)] = &m_hOutputSize;
    handles[at(BoundSemantic::PixelSize)] = &m_hPixelSize;
    for (size_t slot = 0; slot < m_hTextureAspect.size(); ++slot)
        handles[at(BoundSemantic::TextureAspect0) + slot] = &m_hTextureAspect[slot];
    static_assert(std::size(quorvel::g_boundSemantics) == std::size(handles),
                  "one semantic per handle");
    for (size_t i = 0; i < std::size(handles); ++i)
        *handles[i] = m_spEffect->GetParameterBySemantic(nullptr, quorvel::g_boundSemantics[i]);
    return S_OK;
    COM_METHOD_END
}
