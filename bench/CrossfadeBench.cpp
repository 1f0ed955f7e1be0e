// Frames per second of a 1920×1080 crossfade through Quorvel.dll, side by side
// in one run with a minimal program that draws the same shader and grid on
// the same device directly; also the time of Initialize and of the first frame.
// Run with scripts/bench.sh.

#include "bench/BenchSupport.h"
#include "com/HResult.h"
#include "host/render/RenderHost.h"
#include "host/render/Session.h"

#include <d3dx9.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using quorvel::ComPtr;
using namespace quorvelbench;
using namespace quorvelrender;

constexpr UINT kWidth = 1920, kHeight = 1080;
constexpr UINT kFramesPerRound = 30;
constexpr int kRounds = 12;

// The crossfade sample's pixel shader, as the effect carries it.
std::string CrossfadeAssembly(const std::wstring& effect) {
    std::ifstream file(effect.c_str(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const size_t at = text.find("asm");
    const size_t open = text.find('{', at);
    const size_t close = text.find('}', open);
    return at == std::string::npos ? std::string() : text.substr(open + 1, close - open - 1);
}

// The same draw without the effect framework or the transform.
class DirectCrossfade {
  public:
    HRESULT Create(IDirect3DDevice9* device, const std::string& assembly) {
        m_device = device;
        ComPtr<ID3DXBuffer> code;
        RETURN_IF_FAILED(D3DXAssembleShader(assembly.c_str(), static_cast<UINT>(assembly.size()),
                                            nullptr, nullptr, 0, code.put(), nullptr));
        RETURN_IF_FAILED(device->CreatePixelShader(
            static_cast<const DWORD*>(code->GetBufferPointer()), m_shader.put()));
        struct Vertex {
            float x, y, z;
            D3DCOLOR diffuse;
            float u, v;
        };
        const float hu = 0.5f / kWidth, hv = 0.5f / kHeight;
        const Vertex vertices[4] = {{-1, 1, 0, 0, hu, hv},
                                    {1, 1, 0, 0, 1 + hu, hv},
                                    {-1, -1, 0, 0, hu, 1 + hv},
                                    {1, -1, 0, 0, 1 + hu, 1 + hv}};
        const WORD indices[6] = {0, 1, 3, 3, 2, 0};
        RETURN_IF_FAILED(device->CreateVertexBuffer(sizeof(vertices), D3DUSAGE_WRITEONLY, 0x142,
                                                    D3DPOOL_DEFAULT, m_vertices.put(), nullptr));
        void* data = nullptr;
        RETURN_IF_FAILED(m_vertices->Lock(0, 0, &data, 0));
        memcpy(data, vertices, sizeof(vertices));
        m_vertices->Unlock();
        RETURN_IF_FAILED(device->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY,
                                                   D3DFMT_INDEX16, D3DPOOL_DEFAULT, m_indices.put(),
                                                   nullptr));
        RETURN_IF_FAILED(m_indices->Lock(0, 0, &data, 0));
        memcpy(data, indices, sizeof(indices));
        m_indices->Unlock();
        return S_OK;
    }

    HRESULT Draw(float time, IDirect3DTexture9* in0, IDirect3DTexture9* in1,
                 IDirect3DSurface9* out) {
        IDirect3DDevice9* d = m_device;
        for (DWORD s = 0; s < 2; ++s) {
            d->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_POINT);
            d->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
            d->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
            d->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        }
        const float constant[4] = {time, 0, 0, 0};
        RETURN_IF_FAILED(d->SetTexture(0, in0));
        RETURN_IF_FAILED(d->SetTexture(1, in1));
        RETURN_IF_FAILED(d->SetPixelShader(m_shader.get()));
        RETURN_IF_FAILED(d->SetVertexShader(nullptr));
        RETURN_IF_FAILED(d->SetPixelShaderConstantF(0, constant, 1));
        RETURN_IF_FAILED(d->SetFVF(0x142));
        RETURN_IF_FAILED(d->SetStreamSource(0, m_vertices.get(), 0, 24));
        RETURN_IF_FAILED(d->SetIndices(m_indices.get()));
        RETURN_IF_FAILED(d->SetRenderTarget(0, out));
        RETURN_IF_FAILED(d->BeginScene());
        RETURN_IF_FAILED(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
        return d->EndScene();
    }

  private:
    IDirect3DDevice9* m_device = nullptr;
    ComPtr<IDirect3DPixelShader9> m_shader;
    ComPtr<IDirect3DVertexBuffer9> m_vertices;
    ComPtr<IDirect3DIndexBuffer9> m_indices;
};

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "bench: %s failed (HRESULT 0x%08lX)\n", what,
                 static_cast<unsigned long>(hr));
    return 1;
}

} // namespace

int main() {
    const std::wstring folder = RenderFolder();
    const std::wstring effect = folder + L"\\library\\transitions\\crossfade.fx";
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DeviceContext context;
    HRESULT hr = context.Create();
    if (FAILED(hr))
        return Fail("device", hr);
    IDirect3DDevice9* device = context.device();
    ComPtr<IDirect3DTexture9> in0, in1, output;
    ComPtr<IDirect3DSurface9> target;
    if (FAILED(hr = LoadImageTexture(device, folder + L"\\images\\from.png", kWidth, kHeight,
                                     in0.put())) ||
        FAILED(hr = LoadImageTexture(device, folder + L"\\images\\to.png", kWidth, kHeight,
                                     in1.put())) ||
        FAILED(hr = CreateTargetTexture(device, kWidth, kHeight, output.put())) ||
        FAILED(hr = output->GetSurfaceLevel(0, target.put())))
        return Fail("inputs", hr);

    Session session;
    if (FAILED(hr = OpenTransition(session, device, folder, effect, L"Crossfade")))
        return Fail("opening Quorvel.dll", hr);
    double start = Now();
    if (FAILED(hr = session.Initialize()))
        return Fail("Initialize", hr);
    const double initializeMs = (Now() - start) * 1000.0;
    const MediaTime duration = TickTime(kTicksPerFrame * kFramesPerRound);
    start = Now();
    if (FAILED(hr = session.Render(FrameTime(0), duration, in0.get(), in1.get(), output.get())) ||
        FAILED(hr = Finish(device)))
        return Fail("first frame", hr);
    const double firstFrameMs = (Now() - start) * 1000.0;

    DirectCrossfade direct;
    if (FAILED(hr = direct.Create(device, CrossfadeAssembly(effect))))
        return Fail("direct program", hr);

    // Alternating rounds, so neither side gets a warmer device.
    // The machine is shared: the median of the rounds' ratios is the figure.
    double quorvelSeconds = 0, directSeconds = 0;
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
        const double quorvelBefore = quorvelSeconds, directBefore = directSeconds;
        Finish(device);
        start = Now();
        for (UINT i = 0; i < kFramesPerRound; ++i)
            if (FAILED(hr = session.Render(FrameTime(i), duration, in0.get(), in1.get(),
                                           output.get())))
                return Fail("Render", hr);
        Finish(device);
        quorvelSeconds += Now() - start;
        start = Now();
        for (UINT i = 0; i < kFramesPerRound; ++i)
            if (FAILED(hr = direct.Draw(static_cast<float>(i) / kFramesPerRound, in0.get(),
                                        in1.get(), target.get())))
                return Fail("direct draw", hr);
        Finish(device);
        directSeconds += Now() - start;
        ratios.push_back((directSeconds - directBefore) / (quorvelSeconds - quorvelBefore));
    }
    std::sort(ratios.begin(), ratios.end());
    const double median = (ratios[kRounds / 2 - 1] + ratios[kRounds / 2]) / 2;
    const double frames = static_cast<double>(kFramesPerRound) * kRounds;
    const double quorvelFps = frames / quorvelSeconds, directFps = frames / directSeconds;
    std::printf("crossfade %ux%u, %d rounds of %u frames each side\n", kWidth, kHeight, kRounds,
                kFramesPerRound);
    std::printf("  through Quorvel.dll: %8.1f frames/s\n", quorvelFps);
    std::printf("  direct program:      %8.1f frames/s\n", directFps);
    std::printf("  ratio, all frames:   %8.3f\n", quorvelFps / directFps);
    std::printf("  ratio, median round: %8.3f (goal at least 0.98; rounds %.3f to %.3f)\n", median,
                ratios.front(), ratios.back());
    std::printf("  Initialize:          %8.2f ms\n", initializeMs);
    std::printf("  first frame:         %8.2f ms\n", firstFrameMs);
    session.Close();
    return 0;
}
