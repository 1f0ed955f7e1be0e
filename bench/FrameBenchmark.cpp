// Per-frame cost of Render on the fake device: time per steady-state frame,
// device, effect and host calls per frame, and heap allocations per frame.
// The technique has two passes and the host's "Semantics" group eight
// children, colours included.

#include "tests/render/RenderScene.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

std::atomic<long> g_newCalls{0};
std::atomic<long> g_mallocCalls{0};

void* Allocate(std::size_t size) {
    ++g_newCalls;
    void* p = ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void Free(void* p) noexcept {
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

} // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }

// The C allocator, through the linker's --wrap: every malloc-family call made
// by the program's own code (product, doubles, static C++ runtime) is counted.
extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void* __wrap_malloc(std::size_t size) {
    ++g_mallocCalls;
    return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
    ++g_mallocCalls;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* p, std::size_t size) {
    ++g_mallocCalls;
    return __real_realloc(p, size);
}
}

namespace {

using doubles::CallLog;
using renderscene::Scene;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void SetUp(Scene& scene, bool semantics) {
    scene.DeclareStaticSemantics();
    scene.DeclareInputTextures();
    if (semantics)
        scene.AddSemanticsGroup();
    scene.effect->passes = 2;
    scene.inputCount = 2;
}

struct Figures {
    double microseconds;
    double newCalls;
    double mallocCalls;
};

// Frames in silent mode: the doubles neither log nor allocate.
Figures Measure(Scene& scene, int frames, bool silent = true) {
    CallLog::Get().SetSilent(silent);
    const long news = g_newCalls;
    const long mallocs = g_mallocCalls;
    const double start = Seconds();
    for (int i = 0; i < frames; ++i) {
        if (FAILED(scene.Render())) {
            std::printf("frame %d failed\n", i);
            std::exit(1);
        }
    }
    const double elapsed = Seconds() - start;
    const Figures figures = {elapsed * 1e6 / frames,
                             static_cast<double>(g_newCalls - news) / frames,
                             static_cast<double>(g_mallocCalls - mallocs) / frames};
    CallLog::Get().SetSilent(false);
    return figures;
}

size_t CountPrefix(const std::string& prefix) {
    size_t n = 0;
    for (const doubles::Call& call : CallLog::Get().calls())
        n += call.name.compare(0, prefix.size(), prefix) == 0;
    return n;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20000;

    // The malloc count must see a call made here, or the figure means nothing.
    const long mallocsBefore = g_mallocCalls;
    void* volatile probe = std::malloc(16);
    std::free(probe);
    const bool mallocCounted = g_mallocCalls != mallocsBefore;

    Scene scene(720, 480);
    SetUp(scene, true);
    Scene plain(720, 480);
    SetUp(plain, false);
    if (FAILED(scene.Render()) || FAILED(plain.Render())) {
        std::printf("first frame failed\n");
        return 1;
    }

    CallLog::Get().Reset();
    if (FAILED(scene.Render()))
        return 1;
    std::printf("steady-state frame, 2 passes, 720x480, \"Semantics\" with 8 children:\n");
    std::printf("  device calls per frame:      %zu\n", CountPrefix("IDirect3DDevice9::"));
    std::printf("  effect calls per frame:      %zu (%zu GetParameterBySemantic)\n",
                CountPrefix("ID3DXEffect::"), CountPrefix("ID3DXEffect::GetParameterBySemantic"));
    std::printf("  host and store calls:        %zu\n",
                CountPrefix("IMedia") + CountPrefix("IParameter"));
    std::printf("  surface and texture calls:   %zu\n",
                CountPrefix("IDirect3DSurface9::") + CountPrefix("IDirect3DTexture9::"));
    std::printf("  calls in all:                %zu\n", CallLog::Get().calls().size());
    CallLog::Get().Reset();

    Measure(scene, frames / 10); // warm-up
    const Figures with = Measure(scene, frames);
    const Figures without = Measure(plain, frames);
    std::printf("  time per frame:              %.3f us (%d frames)\n", with.microseconds, frames);
    std::printf("  operator new per frame:      %.3f\n", with.newCalls);
    std::printf("  malloc-family per frame:     %.3f%s\n", with.mallocCalls,
                mallocCounted ? "" : " (malloc not interposed: figure unreliable)");
    std::printf("same frame without the \"Semantics\" group:\n");
    std::printf("  time per frame:              %.3f us\n", without.microseconds);
    std::printf("  operator new per frame:      %.3f\n", without.newCalls);
    std::printf("  malloc-family per frame:     %.3f\n", without.mallocCalls);
    std::printf("ratio with / without the group: %.2f\n", with.microseconds / without.microseconds);
    // The counters at work: with the call log recording, the doubles allocate.
    const Figures logged = Measure(scene, 100, false);
    std::printf("check: operator new per frame with the call log recording: %.1f\n",
                logged.newCalls);
    return 0;
}
