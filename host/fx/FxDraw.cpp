// Drawing: applying a pass's states to the device, and the state saved by
// Begin and put back by End.

#include <algorithm>

#include "com/HResult.h"
#include "host/fx/FxObject.h"

namespace fxhost {

HRESULT CFxEffect::ApplyConstant(const PassOp& op) {
    const size_t width = op.constantType == 'B' ? 1 : 4;
    std::vector<DWORD> data(op.registers * width, 0);
    const D3DXPARAMETER_TYPE target = op.constantType == 'F'   ? D3DXPT_FLOAT
                                      : op.constantType == 'I' ? D3DXPT_INT
                                                               : D3DXPT_BOOL;
    if (op.param && op.param->elements > 0) {
        // Each element starts a register of its own (a matrix one per stored
        // row or column), padded to the register's components.
        const ParamData& p = *op.param;
        const UINT per = p.rows > 1 ? p.RegisterCount() : 1;
        const UINT length = p.Count() / per;
        const UINT lines = std::min<UINT>(op.registers, per * p.elements);
        for (UINT line = 0; line < lines; ++line) {
            const UINT first = (line / per) * p.Count() + (line % per) * length;
            for (UINT i = 0; i < std::min<UINT>(length, static_cast<UINT>(width)); ++i)
                data[line * width + i] = Convert(target, p.type, p.value[first + i]);
        }
    } else if (op.param && width == 4 && op.param->rows > 1) {
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

STDMETHODIMP CFxEffect::CommitChanges() {
    if (!m_pActivePass)
        return D3DERR_INVALIDCALL;
    return ApplyPass(*m_pActivePass, 0);
}

STDMETHODIMP CFxEffect::EndPass() {
    if (!m_pActivePass)
        return D3DERR_INVALIDCALL;
    m_pActivePass = nullptr;
    return S_OK;
}

} // namespace fxhost
