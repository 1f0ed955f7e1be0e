#include "host/render/Session.h"

#include "com/HResult.h"

namespace quorvelrender {

HRESULT Session::Open(IDirect3DDevice9* device, const std::wstring& folder, bool registry,
                      bool transition) {
    Close();
    m_transition = transition;
    RETURN_IF_FAILED(registry ? m_server.UseRegistry() : m_server.LoadFromFolder(folder));
    RETURN_IF_FAILED(m_server.Create(transition ? CLSID_CShaderTransition : CLSID_CShaderEffect,
                                     m_transform.put()));
    RETURN_IF_FAILED(GetStoreEditor(m_transform.get(), m_editor.put()));
    return CreateHostDevice(device, m_host.put());
}

HRESULT Session::Initialize() {
    RETURN_HR_IF_NULL(E_UNEXPECTED, m_transform);
    return m_transform->Initialize(m_host.get());
}

HRESULT Session::Render(const MediaTime& position, const MediaTime& duration,
                        IDirect3DTexture9* in0, IDirect3DTexture9* in1, IDirect3DTexture9* out) {
    RETURN_HR_IF_NULL(E_UNEXPECTED, m_transform);
    ComPtr<IUnknown> frames[2];
    ComPtr<IUnknown> output;
    RETURN_IF_FAILED(CreateHostFrame(in0, frames[0].put()));
    if (m_transition)
        RETURN_IF_FAILED(CreateHostFrame(in1, frames[1].put()));
    RETURN_IF_FAILED(CreateHostFrame(out, output.put()));
    IUnknown* inputs[2] = {frames[0].get(), frames[1].get()};
    return m_transform->Render(m_host.get(), &position, duration, inputs, m_transition ? 2 : 1,
                               output.get());
}

void Session::Close() {
    m_host.reset();
    m_editor.reset();
    m_transform.reset();
}

} // namespace quorvelrender
