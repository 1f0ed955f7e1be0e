#include "transform/ShaderBase.h"

#include "com/CodePage.h"
#include "com/HResult.h"
#include "com/ScopeExit.h"

#include <string>

using quorvel::ComPtr;

HRESULT CShaderBase::Initialize(IUnknown* host) {
    COM_METHOD_BEGIN
    m_spEffect.reset();
    RETURN_HR_IF_NULL(E_POINTER, m_spParameterStore);
    if (!host) {
        m_bFirstFrame = true;
        return S_OK;
    }

    // Both references are dropped on every return from here on.
    ComPtr<IMediaDevice> mediaDevice;
    RETURN_IF_FAILED(quorvel::QueryTo(host, IID_IMediaDevice, mediaDevice));
    RETURN_HR_IF_NULL(E_POINTER, mediaDevice);
    ComPtr<IDirect3DDevice9> device;
    RETURN_IF_FAILED(mediaDevice->GetDevice(device.put()));
    RETURN_HR_IF_NULL(E_POINTER, device);

    const int oldX = m_nVerticesX;
    const int oldY = m_nVerticesY;
    const HRESULT readResult = ReadParameters();
    // A vertex grid of another size no longer matches the index buffer; the
    // next frame builds it anew.
    if (m_nVerticesX != oldX || m_nVerticesY != oldY)
        m_spVertexBuffer.reset();
    RETURN_IF_FAILED(readResult);

    RETURN_IF_FAILED(CreateEffect(device.get()));
    RETURN_HR_IF_NULL(E_POINTER, m_spEffect);

    // From here a failure takes the new effect with it: a frame must not be
    // drawn without its technique or with an index buffer left unfilled.
    auto dropEffect = quorvel::MakeScopeExit([this] { m_spEffect.reset(); });
    RETURN_HR_IF(E_FAIL, m_strTechnique.empty());
    // A name the code page cannot spell keeps its default character.
    std::string technique;
    RETURN_IF_FAILED(quorvel::Narrow(m_strTechnique.c_str(), technique));
    RETURN_IF_FAILED(m_spEffect->SetTechnique(technique.c_str()));
    RETURN_IF_FAILED(BuildIndexGrid(device.get()));
    dropEffect.release();

    m_bFirstFrame = true;
    return S_OK;
    COM_METHOD_END
}
