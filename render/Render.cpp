#include "transform/ShaderBase.h"

#include "com/HResult.h"
#include "render/FrameAccess.h"
#include "render/MediaTimeTicks.h"

#include <d3dx9tex.h>

#include <cstdint>
#include <utility>

using quorvel::ComPtr;

namespace {

constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr UINT kVertexStride = 24;

constexpr const char* kInputTextureSemantics[kTextureSlots] = {
    "InputTexture0", "InputTexture1", "InputTexture2", "InputTexture3",
    "InputTexture4", "InputTexture5", "InputTexture6", "InputTexture7"};

// Render on an object whose Initialize has not completed.
constexpr HRESULT kNotInitialized = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

struct FrameTextures {
    IDirect3DTexture9* input0;
    IDirect3DTexture9* input1;
    const std::array<ComPtr<IDirect3DTexture9>, kTextureSlots>* files;
    D3DXHANDLE handles[kTextureSlots];
};

HRESULT SetEffectTextures(ID3DXEffect* effect, const FrameTextures& textures) {
    // "InputTexture0" is set even without a handle; the framework answers for it.
    RETURN_IF_FAILED(effect->SetTexture(textures.handles[0], textures.input0));
    if (textures.handles[1])
        RETURN_IF_FAILED(effect->SetTexture(textures.handles[1], textures.input1));
    for (int slot = 2; slot < kTextureSlots; ++slot) {
        IDirect3DTexture9* texture = (*textures.files)[slot].get();
        if (textures.handles[slot] && texture)
            RETURN_IF_FAILED(effect->SetTexture(textures.handles[slot], texture));
    }
    return S_OK;
}

// The first failure wins; what was begun is ended either way, so the next
// frame can begin its scene again.
HRESULT FirstFailure(HRESULT first, HRESULT second) { return FAILED(first) ? first : second; }

HRESULT DrawPasses(ID3DXEffect* effect, IDirect3DDevice9* device, UINT passes, UINT vertices,
                   UINT primitives) {
    for (UINT pass = 0; pass < passes; ++pass) {
        RETURN_IF_FAILED(effect->BeginPass(pass));
        const HRESULT hr =
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, primitives);
        RETURN_IF_FAILED(FirstFailure(hr, effect->EndPass()));
    }
    return S_OK;
}

HRESULT DrawTechnique(ID3DXEffect* effect, IDirect3DDevice9* device, const FrameTextures& textures,
                      UINT vertices, UINT primitives) {
    UINT passes = 0;
    RETURN_IF_FAILED(effect->Begin(&passes, 0));
    HRESULT hr = SetEffectTextures(effect, textures);
    if (SUCCEEDED(hr))
        hr = DrawPasses(effect, device, passes, vertices, primitives);
    return FirstFailure(hr, effect->End());
}

float Width(const RECT& rect) { return static_cast<float>(rect.right - rect.left); }
float Height(const RECT& rect) { return static_cast<float>(rect.bottom - rect.top); }

} // namespace

HRESULT GetFrameSurface(IUnknown* frame, IDirect3DSurface9** surface, RECT* rect) {
    RETURN_HR_IF(E_POINTER, frame == nullptr || surface == nullptr);
    *surface = nullptr;
    ComPtr<IMediaFrame> mediaFrame;
    RETURN_IF_FAILED(quorvel::QueryTo(frame, IID_IMediaFrame, mediaFrame));
    RETURN_HR_IF_NULL(E_POINTER, mediaFrame.get());
    ComPtr<IUnknown> unknown;
    RETURN_IF_FAILED(mediaFrame->GetSurface(unknown.put()));
    // The host hands the surface out untyped; it is queried before any
    // surface method is called, so a frame that is no surface fails cleanly.
    ComPtr<IDirect3DSurface9> typed;
    RETURN_IF_FAILED(quorvel::QueryTo(unknown.get(), IID_IDirect3DSurface9, typed));
    RETURN_HR_IF_NULL(E_POINTER, typed.get());
    D3DSURFACE_DESC desc = {};
    RETURN_IF_FAILED(typed->GetDesc(&desc));
    if (rect)
        ::SetRect(rect, 0, 0, static_cast<int>(desc.Width), static_cast<int>(desc.Height));
    *surface = typed.detach();
    return S_OK;
}

HRESULT GetFrameTexture(IUnknown* frame, IDirect3DTexture9** texture, RECT* rect) {
    RETURN_HR_IF(E_POINTER, frame == nullptr || texture == nullptr);
    *texture = nullptr;
    ComPtr<IDirect3DSurface9> surface;
    RETURN_IF_FAILED(GetFrameSurface(frame, surface.put(), rect));
    ComPtr<IDirect3DTexture9> container;
    RETURN_IF_FAILED(surface->GetContainer(IID_IDirect3DTexture9, container.put_void()));
    RETURN_HR_IF_NULL(E_POINTER, container.get());
    *texture = container.detach();
    return S_OK;
}

HRESULT CShaderBase::Render(IUnknown* deviceSource, const MediaTime* position, MediaTime duration,
                            IUnknown** inputs, int inputCount, IUnknown* output) {
    RETURN_HR_IF_NULL(E_POINTER, deviceSource);
    RETURN_HR_IF(E_POINTER, inputs == nullptr || inputs[0] == nullptr);
    RETURN_HR_IF(E_POINTER, inputCount != 1 && inputs[1] == nullptr);
    RETURN_HR_IF(E_POINTER, output == nullptr || position == nullptr);
    RETURN_HR_IF(kNotInitialized, !m_spEffect || !m_spIndexBuffer || !m_spParameterStore);
    // A flagged time with denominator 0 has no tick count; refuse it before any work.
    std::int64_t positionTicks = 0;
    std::int64_t durationTicks = 0;
    RETURN_HR_IF(E_INVALIDARG, !MediaTimeToTicks(*position, &positionTicks) ||
                                   !MediaTimeToTicks(duration, &durationTicks));

    ComPtr<IMediaDevice> mediaDevice;
    RETURN_IF_FAILED(quorvel::QueryTo(deviceSource, IID_IMediaDevice, mediaDevice));
    RETURN_HR_IF_NULL(E_POINTER, mediaDevice.get());
    ComPtr<IDirect3DDevice9> device;
    RETURN_IF_FAILED(mediaDevice->GetDevice(device.put()));
    RETURN_HR_IF_NULL(E_POINTER, device.get());

    ComPtr<IDirect3DSurface9> outputSurface;
    RECT outputRect = {};
    RETURN_IF_FAILED(GetFrameSurface(output, outputSurface.put(), &outputRect));
    ComPtr<IDirect3DTexture9> texture0;
    ComPtr<IDirect3DTexture9> texture1;
    RECT inputRect = {};
    RETURN_IF_FAILED(GetFrameTexture(inputs[0], texture0.put(), &inputRect));
    if (inputCount == 2)
        RETURN_IF_FAILED(GetFrameTexture(inputs[1], texture1.put(), nullptr));

    if (!VertexGridMatches(outputRect)) {
        RETURN_IF_FAILED(BuildVertexGrid(device.get(), outputRect.right - outputRect.left,
                                         outputRect.bottom - outputRect.top));
        m_rcOutput = outputRect;
    }

    RETURN_IF_FAILED(device->SetTexture(0, texture0.get()));
    RETURN_IF_FAILED(device->SetTexture(1, inputCount == 2 ? texture1.get() : texture0.get()));

    // A failed first frame puts back the input textures it replaced; file
    // textures already loaded stay, so the retry loads only the rest.
    const bool firstFrame = m_bFirstFrame;
    ComPtr<IDirect3DTexture9> previousInputs[2];
    if (firstFrame) {
        previousInputs[0] = m_spTextures[0];
        previousInputs[1] = m_spTextures[1];
        m_spTextures[0] = texture0;
        m_spTextures[1] = texture1;
    }

    auto drawFrame = [&]() -> HRESULT {
        if (firstFrame) {
            for (int slot = 2; slot < kTextureSlots; ++slot) {
                if (m_strTextureFile[slot].empty())
                    continue;
                if (!m_spTextures[slot]) {
                    ComPtr<IDirect3DTexture9> loaded;
                    RETURN_IF_FAILED(::D3DXCreateTextureFromFileExW(
                        device.get(), m_strTextureFile[slot].c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                        D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT,
                        D3DX_DEFAULT, 0, nullptr, nullptr, loaded.put()));
                    m_spTextures[slot] = std::move(loaded);
                }
                if (m_spTextures[slot])
                    RETURN_IF_FAILED(device->SetTexture(slot, m_spTextures[slot].get()));
            }
        }

        FrameTextures textures = {texture0.get(), texture1.get(), &m_spTextures, {}};
        for (int slot = 0; slot < kTextureSlots; ++slot)
            textures.handles[slot] =
                m_spEffect->GetParameterBySemantic(nullptr, kInputTextureSemantics[slot]);

        // Each count goes to single precision before the division.
        const float time = static_cast<float>(positionTicks) / static_cast<float>(durationTicks);
        RETURN_IF_FAILED(SetFrameSemantics(time, static_cast<float>(durationTicks),
                                           static_cast<unsigned>(Width(inputRect)),
                                           static_cast<unsigned>(Height(inputRect))));

        RETURN_IF_FAILED(device->SetFVF(kVertexFormat));
        RETURN_IF_FAILED(device->SetStreamSource(0, m_spVertexBuffer.get(), 0, kVertexStride));
        RETURN_IF_FAILED(device->SetIndices(m_spIndexBuffer.get()));
        RETURN_IF_FAILED(device->SetRenderTarget(0, outputSurface.get()));
        RETURN_IF_FAILED(device->BeginScene());
        const UINT vertices = static_cast<UINT>(m_nVerticesX * m_nVerticesY);
        const UINT primitives = static_cast<UINT>((2 * m_nVerticesY - 2) * (m_nVerticesX - 1));
        const HRESULT drawn =
            DrawTechnique(m_spEffect.get(), device.get(), textures, vertices, primitives);
        return FirstFailure(drawn, device->EndScene());
    };

    const HRESULT hr = drawFrame();
    if (FAILED(hr)) {
        if (firstFrame) {
            m_spTextures[0].swap(previousInputs[0]);
            m_spTextures[1].swap(previousInputs[1]);
        }
        return hr;
    }
    m_bFirstFrame = false;
    return S_OK;
}

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
