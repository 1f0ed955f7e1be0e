// The host objects of a run: the device, the inputs and texture files loaded
// as Quorvel will load them, the transform created and its store filled.

#include "effect/HostContract.h"
#include "host/render/Diagnostics.h"
#include "host/render/Job.h"
#include "host/render/Tool.h"
#include "host/render/ToolSupport.h"

#include <d3dx9.h>

namespace quorvelrender {
namespace {

HostParameter TextParameter(const wchar_t* name, const std::wstring& text) {
    HostParameter parameter;
    parameter.name = name;
    parameter.from.s = text;
    return parameter;
}

HostParameter IntParameter(const wchar_t* name, UINT value) {
    HostParameter parameter;
    parameter.name = name;
    parameter.from.kind = HostValue::Kind::Int;
    parameter.from.i = static_cast<LONG>(value);
    return parameter;
}

} // namespace

// The same load Quorvel does on the first frame, so an unreadable file is
// named here rather than leaving its sampler empty.
int Job::LoadTextureFiles() {
    for (const HostParameter& parameter : m_options.params) {
        if (!IsTextureParameter(parameter.name) || parameter.from.s.empty())
            continue;
        const std::wstring path = ExpandedPath(parameter.from.s);
        ComPtr<IDirect3DTexture9> texture;
        const HRESULT hr = D3DXCreateTextureFromFileExW(
            m_device.device(), path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
            D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
            texture.put());
        if (FAILED(hr))
            return Fail(kExitInput,
                        L"cannot load the texture file of " + OptionName(parameter, false) + L": " +
                            path,
                        hr);
    }
    return kExitOk;
}

int Job::OpenSession() {
    // The device was made for the effect's descriptions.
    IDirect3DDevice9* device = m_device.device();
    const UINT w = m_options.width, h = m_options.height;
    const int loaded = LoadInputs(0);
    if (loaded != kExitOk)
        return loaded;
    const int textures = LoadTextureFiles();
    if (textures != kExitOk)
        return textures;
    HRESULT hr = CreateTargetTexture(device, w, h, m_output.put());
    if (FAILED(hr))
        return Fail(kExitRender,
                    L"cannot create a " + std::to_wstring(w) + L"x" + std::to_wstring(h) +
                        L" render target",
                    hr);

    hr = m_session.Open(device, m_toolFolder, m_options.registry, m_transition);
    if (FAILED(hr))
        return Fail(kExitEffect,
                    m_options.registry
                        ? L"cannot create the transform through the registry"
                        : L"cannot create the transform from " + m_toolFolder + L"\\Quorvel.dll",
                    hr);
    IParameterStoreEditor* editor = m_session.editor();
    std::vector<HostParameter> params = {
        TextParameter(quorvel::kShaderFilenameParameter, m_effectPath),
        TextParameter(quorvel::kTechniqueParameter, m_options.technique)};
    if (m_options.gridX != 0) {
        params.push_back(IntParameter(quorvel::kNumVerticesXParameter, m_options.gridX));
        params.push_back(IntParameter(quorvel::kNumVerticesYParameter, m_options.gridY));
    }
    params.insert(params.end(), m_options.params.begin(), m_options.params.end());
    for (const HostParameter& parameter : params) {
        hr = PutParameter(editor, nullptr, parameter);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot set host parameter " + parameter.name, hr);
    }
    for (const HostParameter& parameter : m_options.semantics) {
        hr = PutParameter(editor, quorvel::kSemanticsGroup, parameter);
        if (FAILED(hr))
            return Fail(kExitRender, L"cannot set semantic " + parameter.name, hr);
    }

    Print(L"initialising " + m_effectPath + L" (technique " + m_options.technique + L")\n");
    hr = m_session.Initialize();
    if (FAILED(hr))
        return Fail(kExitEffect, L"Initialize failed for " + m_effectPath, hr);
    // Warnings of a successful compile are not news.
    m_debugOutput.Take();
    return kExitOk;
}

// The inputs' images for output frame `frame`; a still loads once.
int Job::LoadInputs(UINT frame) {
    for (int i = 0; i < (m_transition ? 2 : 1); ++i) {
        if (m_inputs[i] && !m_sequences[i].moving())
            continue;
        const std::wstring& file = m_sequences[i].FrameFile(frame);
        const HRESULT hr = LoadImageTexture(m_device.device(), file, m_options.width,
                                            m_options.height, m_inputs[i].put());
        if (FAILED(hr))
            return Fail(kExitInput, L"cannot load input image " + file, hr);
    }
    return kExitOk;
}

HRESULT Job::RenderAt(const MediaTime& position, const MediaTime& duration) {
    return m_session.Render(position, duration, m_inputs[0].get(), m_inputs[1].get(),
                            m_output.get());
}

} // namespace quorvelrender
