// Frames per second of one library transition through Quorvel.dll at
// 1920×1080: rounds of FRAMES frames at Times k / (FRAMES - 1), for at least
// two seconds, after Initialize and one frame of warm-up. scripts/bench.sh runs it for every
// xfade-matched entry of library/index.tsv, beside ffmpeg's xfade on the same two frames. Usage:
// bench_transition.exe EFFECT TECHNIQUE FROM.png TO.png FRAMES Prints "fps N" on success.

#include "bench/BenchSupport.h"
#include "com/CodePage.h"
#include "com/HResult.h"
#include "host/render/RenderHost.h"
#include "host/render/Session.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using quorvel::ComPtr;
using namespace quorvelbench;
using namespace quorvelrender;

constexpr UINT kWidth = 1920, kHeight = 1080;

std::wstring Wide(const char* text) {
    std::wstring wide;
    quorvel::Widen(text, wide, CP_ACP);
    return wide;
}

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "bench_transition: %s failed (HRESULT 0x%08lX)\n", what,
                 static_cast<unsigned long>(hr));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_transition EFFECT TECHNIQUE FROM TO FRAMES\n");
        return 2;
    }
    const std::wstring effect = Wide(argv[1]), name = Wide(argv[2]), from = Wide(argv[3]),
                       to = Wide(argv[4]);
    const UINT frames = static_cast<UINT>(std::strtoul(argv[5], nullptr, 10));
    if (frames < 2 || frames > 10000) {
        std::fprintf(stderr, "bench_transition: FRAMES must be 2 to 10000\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DeviceContext context;
    HRESULT hr = context.Create();
    if (FAILED(hr))
        return Fail("device", hr);
    IDirect3DDevice9* device = context.device();
    ComPtr<IDirect3DTexture9> in0, in1, output;
    if (FAILED(hr = LoadImageTexture(device, from, kWidth, kHeight, in0.put())) ||
        FAILED(hr = LoadImageTexture(device, to, kWidth, kHeight, in1.put())) ||
        FAILED(hr = CreateTargetTexture(device, kWidth, kHeight, output.put())))
        return Fail("inputs", hr);

    Session session;
    if (FAILED(hr = OpenTransition(session, device, RenderFolder(), effect, name)))
        return Fail("opening Quorvel.dll", hr);
    if (FAILED(hr = session.Initialize()))
        return Fail("Initialize", hr);
    const MediaTime duration = TickTime(kTicksPerFrame * (frames - 1));
    if (FAILED(hr = session.Render(FrameTime(0), duration, in0.get(), in1.get(), output.get())) ||
        FAILED(hr = Finish(device)))
        return Fail("warm-up frame", hr);

    // Whole rounds of FRAMES frames until two seconds have passed.
    const double start = Now();
    UINT rendered = 0;
    do {
        for (UINT i = 0; i < frames; ++i)
            if (FAILED(hr = session.Render(FrameTime(i), duration, in0.get(), in1.get(),
                                           output.get())))
                return Fail("Render", hr);
        if (FAILED(hr = Finish(device)))
            return Fail("Render", hr);
        rendered += frames;
    } while (Now() - start < 2.0);
    std::printf("fps %.3f\n", rendered / (Now() - start));
    session.Close();
    return 0;
}
