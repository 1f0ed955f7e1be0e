#include "transform/ShaderBase.h"

#include "com/HResult.h"
#include "com/ScopeExit.h"
#include "effect/HostContract.h"
#include "render/FrameAccess.h"
#include "render/Grid.h"
#include "render/MediaTimeTicks.h"

#include <d3dx9tex.h>

#include <array>
#include <cstdint>
#include <iterator>
#include <utility>

using quorvel::ComPtr;
using quorvel::FrameTextures;

static_assert(std::size(quorvel::g_inputTextureSemantics) == CShaderBase::kTextureSlots,
              "one texture semantic per slot");

namespace quorvel {

// The textures a frame draws with, and the effect parameters they go to.
struct FrameTextures {
    IDirect3DTexture9* input0;
    IDirect3DTexture9* input1;
    const std::array<ComPtr<IDirect3DTexture9>, CShaderBase::kTextureSlots>* files;
    D3DXHANDLE handles[CShaderBase::kTextureSlots];
};

} // namespace quorvel

namespace {

// Render on an object whose Initialize has not completed.
constexpr HRESULT kNotInitialized = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

HRESULT SetEffectTextures(ID3DXEffect* effect, const FrameTextures& textures) {
    // "InputTexture0" is set even without a handle; the framework answers for it.
    RETURN_IF_FAILED(effect->SetTexture(textures.handles[0], textures.input0));
    if (textures.handles[1])
        RETURN_IF_FAILED(effect->SetTexture(textures.handles[1], textures.input1));
    for (int slot = 2; slot < CShaderBase::kTextureSlots; ++slot) {
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

unsigned Width(const RECT& rect) { return static_cast<unsigned>(rect.right - rect.left); }
unsigned Height(const RECT& rect) { return static_cast<unsigned>(rect.bottom - rect.top); }

} // namespace

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

    // The first frame keeps its input textures for the first-frame values; a
    // failed first frame puts back the ones it replaced. File textures already
    // loaded stay, so the retry loads only the rest.
    const bool firstFrame = m_bFirstFrame;
    ComPtr<IDirect3DTexture9> previousInputs[2];
    auto restoreInputs = quorvel::MakeScopeExit([&] {
        if (firstFrame) {
            m_spTextures[0].swap(previousInputs[0]);
            m_spTextures[1].swap(previousInputs[1]);
        }
    });
    if (firstFrame) {
        previousInputs[0] = std::exchange(m_spTextures[0], texture0);
        previousInputs[1] = std::exchange(m_spTextures[1], texture1);
        RETURN_IF_FAILED(LoadFileTextures(device.get()));
    }

    FrameTextures textures = {texture0.get(), texture1.get(), &m_spTextures, {}};
    for (int slot = 0; slot < kTextureSlots; ++slot)
        textures.handles[slot] =
            m_spEffect->GetParameterBySemantic(nullptr, quorvel::g_inputTextureSemantics[slot]);

    // Each count goes to single precision before the division.
    const float time = static_cast<float>(positionTicks) / static_cast<float>(durationTicks);
    RETURN_IF_FAILED(SetFrameSemantics(time, static_cast<float>(durationTicks), Width(inputRect),
                                       Height(inputRect)));
    RETURN_IF_FAILED(DrawGrid(device.get(), outputSurface.get(), textures));

    restoreInputs.release();
    m_bFirstFrame = false;
    return S_OK;
}

HRESULT CShaderBase::LoadFileTextures(IDirect3DDevice9* device) {
    for (int slot = 2; slot < kTextureSlots; ++slot) {
        if (m_strTextureFile[slot].empty())
            continue;
        if (!m_spTextures[slot]) {
            ComPtr<IDirect3DTexture9> loaded;
            RETURN_IF_FAILED(::D3DXCreateTextureFromFileExW(
                device, m_strTextureFile[slot].c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                loaded.put()));
            m_spTextures[slot] = std::move(loaded);
        }
        if (m_spTextures[slot])
            RETURN_IF_FAILED(device->SetTexture(slot, m_spTextures[slot].get()));
    }
    return S_OK;
}

HRESULT CShaderBase::DrawGrid(IDirect3DDevice9* device, IDirect3DSurface9* target,
                              const FrameTextures& textures) {
    RETURN_IF_FAILED(device->SetFVF(quorvel::kGridVertexFormat));
    RETURN_IF_FAILED(
        device->SetStreamSource(0, m_spVertexBuffer.get(), 0, quorvel::kGridVertexStride));
    RETURN_IF_FAILED(device->SetIndices(m_spIndexBuffer.get()));
    RETURN_IF_FAILED(device->SetRenderTarget(0, target));
    RETURN_IF_FAILED(device->BeginScene());
    const HRESULT drawn = DrawTechnique(m_spEffect.get(), device, textures,
                                        quorvel::GridVertexCount(m_nVerticesX, m_nVerticesY),
                                        quorvel::GridTriangleCount(m_nVerticesX, m_nVerticesY));
    return FirstFailure(drawn, device->EndScene());
}
