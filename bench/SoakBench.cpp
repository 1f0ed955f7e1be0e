// Long-run soak through Quorvel.dll on the real device: a crossfade for many
// frames, the output size changing every 1,000 frames and Initialize called
// again every 10,000. Prints the process's private bytes, its handle count
// and the live Direct3D objects (references on the device) as it goes; after
// the first cycle none of them should grow. Run with scripts/soak.sh.

#include "bench/BenchSupport.h"
#include "com/HResult.h"
#include "host/render/RenderHost.h"
#include "host/render/Session.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using quorvel::ComPtr;
using namespace quorvelbench;
using namespace quorvelrender;

// Small outputs keep the run short; what leaks per frame leaks at any size.
constexpr struct { UINT width, height; } kSizes[] = {{64, 48}, {96, 64}, {80, 45}, {48, 48}};
constexpr size_t kSizeCount = sizeof(kSizes) / sizeof(kSizes[0]);

ULONG DeviceReferences(IDirect3DDevice9* device) {
    device->AddRef();
    return device->Release();
}

// Handles of this process, from the system's handle table (the handle-count
// query is not answered everywhere).
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystemInformationFn = LONG(WINAPI*)(int, void*, ULONG, ULONG*);

unsigned long HandleCount() {
    DWORD counted = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &counted) && counted != 0)
        return counted;
    auto query = reinterpret_cast<QuerySystemInformationFn>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation"));
    if (!query)
        return 0;
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    constexpr int kSystemHandleInformation = 16;
    while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                 &needed) != 0) {
        if (buffer.size() >= (64u << 20))
            return 0;
        buffer.resize(buffer.size() * 2);
    }
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const ULONG pid = ::GetCurrentProcessId();
    unsigned long own = 0;
    for (ULONG i = 0; i < table->count; ++i)
        own += table->entries[i].ownerPid == pid;
    return own;
}

void Print(const char* when, int frame, IDirect3DDevice9* device, ULONG ownReferences) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    // Where private usage is not reported, the committed (pagefile) bytes are the same figure.
    const SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    // Every Direct3D object holds a reference on its device; the bench's
    // own (device context, input and output textures) are taken off.
    const ULONG live = DeviceReferences(device) - ownReferences;
    std::printf("%-7s frame %6d  private bytes %10llu  working set %10llu  handles %5lu  "
                "live Direct3D objects %3lu\n",
                when, frame, static_cast<unsigned long long>(privateBytes),
                static_cast<unsigned long long>(memory.WorkingSetSize), HandleCount(),
                static_cast<unsigned long>(live));
    std::fflush(stdout);
}

int Fail(const char* what, int frame, HRESULT hr) {
    std::fprintf(stderr, "soak: %s failed at frame %d (HRESULT 0x%08lX)\n", what, frame,
                 static_cast<unsigned long>(hr));
    return 1;
}

struct Frames {
    ComPtr<IDirect3DTexture9> in0, in1, out;
};

} // namespace

int main(int argc, char** argv) {
    // Frames, then how often the size changes and Initialize runs (0: never),
    // so a growth can be traced to one of them.
    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int sizeEvery = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int initializeEvery = argc > 3 ? std::atoi(argv[3]) : 10000;
    const std::wstring folder = RenderFolder();
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DeviceContext context;
    HRESULT hr = context.Create();
    if (FAILED(hr))
        return Fail("device", 0, hr);
    IDirect3DDevice9* device = context.device();

    // The host's frames for every size, made once so the bench itself does not grow.
    std::vector<Frames> frames(kSizeCount);
    for (size_t i = 0; i < kSizeCount; ++i) {
        const UINT w = kSizes[i].width, h = kSizes[i].height;
        if (FAILED(hr = LoadImageTexture(device, folder + L"\\images\\from.png", w, h,
                                         frames[i].in0.put())) ||
            FAILED(hr = LoadImageTexture(device, folder + L"\\images\\to.png", w, h,
                                         frames[i].in1.put())) ||
            FAILED(hr = CreateTargetTexture(device, w, h, frames[i].out.put())))
            return Fail("host frames", 0, hr);
    }
    const ULONG ownReferences = DeviceReferences(device);

    Session session;
    if (FAILED(hr = OpenTransition(session, device, folder,
                                   folder + L"\\library\\transitions\\crossfade.fx", L"Crossfade")))
        return Fail("opening Quorvel.dll", 0, hr);
    // The session's own objects (host device object) count as the bench's.
    const ULONG sessionReferences = DeviceReferences(device) - ownReferences;

    std::printf("soak: %d crossfade frames, size change every %d, Initialize every %d\n", total,
                sizeEvery, initializeEvery);
    const int span = sizeEvery > 0 ? sizeEvery : 1000;
    const MediaTime duration = TickTime(kTicksPerFrame * span);
    for (int frame = 0; frame < total; ++frame) {
        if ((frame == 0 || (initializeEvery > 0 && frame % initializeEvery == 0)) &&
            FAILED(hr = session.Initialize()))
            return Fail("Initialize", frame, hr);
        const Frames& f = frames[sizeEvery > 0 ? (frame / sizeEvery) % kSizeCount : 0];
        if (FAILED(hr = session.Render(FrameTime(static_cast<UINT>(frame % span)), duration,
                                       f.in0.get(), f.in1.get(), f.out.get())))
            return Fail("Render", frame, hr);
        if ((frame + 1) % 1000 == 0)
            Finish(device);
        const int done = frame + 1;
        if (done == 1)
            Print("start", done, device, ownReferences + sessionReferences);
        else if (done == total / 2)
            Print("middle", done, device, ownReferences + sessionReferences);
        else if (done == total)
            Print("end", done, device, ownReferences + sessionReferences);
        else if (done % 10000 == 0)
            Print("cycle", done, device, ownReferences + sessionReferences);
    }
    session.Close();
    Finish(device);
    Print("closed", total, device, ownReferences);
    return 0;
}
