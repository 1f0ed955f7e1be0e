#include "transform/ShaderBase.h"

#include "com/HResult.h"

#include <d3dx9math.h>

// Values set once, on the first frame: the identity transforms, the duration,
// the output size and the textures' aspects.
HRESULT CShaderBase::SetStaticSemantics(float duration) {
    RETURN_HR_IF_NULL(E_POINTER, m_spEffect.get());
    ID3DXEffect* effect = m_spEffect.get();
    D3DXMATRIX world;
    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DXMatrixIdentity(&world);
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&projection);
    if (m_hWorld)
        RETURN_IF_FAILED(effect->SetMatrix(m_hWorld, &world));
    if (m_hView)
        RETURN_IF_FAILED(effect->SetMatrix(m_hView, &view));
    if (m_hProjection)
        RETURN_IF_FAILED(effect->SetMatrix(m_hProjection, &projection));
    D3DXMATRIX worldView;
    D3DXMatrixMultiply(&worldView, &world, &view);
    if (m_hWorldView)
        RETURN_IF_FAILED(effect->SetMatrix(m_hWorldView, &worldView));
    D3DXMATRIX worldViewProjection;
    D3DXMatrixMultiply(&worldViewProjection, &worldView, &projection);
    if (m_hWorldViewProjection)
        RETURN_IF_FAILED(effect->SetMatrix(m_hWorldViewProjection, &worldViewProjection));
    if (m_hDuration)
        RETURN_IF_FAILED(effect->SetFloat(m_hDuration, duration));

    const float width = static_cast<float>(m_rcOutput.right - m_rcOutput.left);
    const float height = static_cast<float>(m_rcOutput.bottom - m_rcOutput.top);
    if (m_hOutputSize) {
        const D3DXVECTOR4 size(width, height, 0.0f, 0.0f);
        RETURN_IF_FAILED(effect->SetVector(m_hOutputSize, &size));
    }
    for (int slot = 0; slot < kTextureSlots; ++slot) {
        if (!m_hTextureAspect[slot])
            continue;
        D3DSURFACE_DESC desc = {};
        if (m_spTextures[slot])
            m_spTextures[slot]->GetLevelDesc(0, &desc);
        const float aspect = desc.Width != 0 && desc.Height != 0
                                 ? static_cast<float>(desc.Width) / static_cast<float>(desc.Height)
                                 : 0.0f;
        RETURN_IF_FAILED(effect->SetFloat(m_hTextureAspect[slot], aspect));
    }
    if (m_hPixelSize) {
        const D3DXVECTOR4 pixel(1.0f / width, 1.0f / height, 0.0f, 0.0f);
        RETURN_IF_FAILED(effect->SetVector(m_hPixelSize, &pixel));
    }
    return S_OK;
}

// Values set on every frame.
HRESULT CShaderBase::SetFrameSemantics(float time, float duration, unsigned inputWidth,
                                       unsigned inputHeight) {
    RETURN_HR_IF_NULL(E_POINTER, m_spEffect.get());
    if (m_bFirstFrame)
        RETURN_IF_FAILED(SetStaticSemantics(duration));
    if (m_hInputSize) {
        const D3DXVECTOR4 size(static_cast<float>(inputWidth), static_cast<float>(inputHeight),
                               0.0f, 0.0f);
        RETURN_IF_FAILED(m_spEffect->SetVector(m_hInputSize, &size));
    }
    if (m_hTime)
        RETURN_IF_FAILED(m_spEffect->SetFloat(m_hTime, time));
    return ApplySemanticParameters(time);
}
