// Long-run soaks on the real device. Prints the process's committed bytes,
// its working set, its handle count and the live Direct3D objects
// (references on the device) at checkpoints, with the committed bytes split
// by where they live (bench/MemoryRegions.h); after warm-up none of them
// should grow. Run with scripts/soak.sh, which sets the frame soaks side by
// side.
//
//   bench_soak.exe product|framework|shaders|device|assembler [FRAMES [SIZE_EVERY
//   [INITIALIZE_EVERY]]]
//     a crossfade for FRAMES frames (100,000), the output size changing every
//     SIZE_EVERY (1,000) and the shader made anew every INITIALIZE_EVERY
//     (10,000): through Quorvel.dll (Initialize), through the stand-in effect
//     framework alone (the effect created and released), as a plain
//     Direct3D pixel shader of the same bytecode (created and released), or
//     by the fixed-function stages with no shader at all (only the geometry
//     made anew). The controls tell growth of ours from growth below us.
//     "assembler" is the fixed-function control that also assembles the
//     crossfade's shader at every Initialize, as the stand-in framework does.
//   bench_soak.exe clips [CLIPS [FRAMES_PER_CLIP [ONLY]]]
//     the host's rhythm: per clip a new transform (created, its store filled,
//     initialised, FRAMES_PER_CLIP frames (250), released) over the library's
//     entries and varied sizes, CLIPS (2,000) clips; the server stays loaded.
//     ONLY keeps the entries whose file name holds it (a growth pinned on one).
//   bench_soak.exe clips-framework [CLIPS [FRAMES_PER_CLIP [ONLY]]]
//     the same clips through the stand-in effect framework alone, as a control.
//   bench_soak.exe clips-assembler|clips-shaders [CLIPS [FRAMES_PER_CLIP [ONLY]]]
//     the same clips with no framework: each clip's effect file's shaders
//     assembled by the assembler the framework calls (Wine's), created on
//     the device and drawn with (each of the technique's passes), then released;
//     or only created, drawn and released, their tokens assembled once at
//     the start. Framework minus assembler is the framework's own share;
//     assembler minus shaders the assembler's; shaders minus geometry the
//     device's for the shaders.
//   bench_soak.exe clips-device [CLIPS [FRAMES_PER_CLIP [ONLY]]]
//     the same clips' geometry made, drawn by the fixed-function stages and
//     released, no shader at all: what the device keeps for the buffers.
//
// Every checkpoint also has the stand-in framework's own heap bytes and
// blocks still allocated (fx-live, fx-blocks), when it is loaded.

#include "bench/BenchSupport.h"
#include "bench/EffectShaders.h"
#include "bench/MemoryRegions.h"
#include "com/CodePage.h"
#include "com/HResult.h"
#include "com/UniqueAny.h"
#include "effect/HostContract.h"
#include "host/render/RenderHost.h"
#include "host/render/Session.h"
#include "render/Grid.h"

#include <d3dx9.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using quorvel::ComPtr;
using namespace quorvelbench;
using namespace quorvelrender;

// Small outputs keep the run short; what leaks per frame leaks at any size.
struct Size {
    UINT width, height;
};
constexpr Size kSizes[] = {{64, 48}, {96, 64}, {80, 45}, {48, 48}};
constexpr size_t kSizeCount = sizeof(kSizes) / sizeof(kSizes[0]);
// The clip soak also has odd and wider shapes.
constexpr Size kClipSizes[] = {{64, 48},  {96, 64},  {80, 45}, {48, 48},
                               {131, 97}, {160, 90}, {33, 17}};
constexpr size_t kClipSizeCount = sizeof(kClipSizes) / sizeof(kClipSizes[0]);

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

using LiveHeapFn = HRESULT(WINAPI*)(ULONGLONG*, ULONGLONG*);

// The stand-in framework's own heap bytes and blocks still allocated
// (host/fx/FxHeapCount.cpp); S_FALSE when it is not loaded (by the bench, or
// by Quorvel.dll from the same folder).
HRESULT FrameworkLiveHeap(ULONGLONG& bytes, ULONGLONG& blocks) {
    bytes = blocks = 0;
    const HMODULE module = ::GetModuleHandleW(L"d3dx9_30.dll");
    const auto live =
        module ? reinterpret_cast<LiveHeapFn>(::GetProcAddress(module, "QuorvelFxLiveHeap"))
               : nullptr;
    return live ? live(&bytes, &blocks) : S_FALSE;
}

std::string FrameworkHeap() {
    ULONGLONG bytes = 0, blocks = 0;
    if (FrameworkLiveHeap(bytes, blocks) != S_OK)
        return std::string();
    char text[80];
    std::snprintf(text, sizeof(text), "  fx-live %llu fx-blocks %llu", bytes, blocks);
    return text;
}

// One line a checkpoint; scripts/soak.sh reads the fields by name.
void Print(const char* when, const char* unit, int count, IDirect3DDevice9* device,
           ULONG ownReferences, const std::string& extra = std::string()) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    // Where private usage is not reported, the committed (pagefile) bytes are the same figure.
    const SIZE_T committed = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    // Every Direct3D object holds a reference on its device; the bench's
    // own (device context, input and output textures) are taken off.
    const ULONG live = DeviceReferences(device) - ownReferences;
    // glibc first: with a trim asked for, the regions show what it gave back.
    std::string native;
    if (FAILED(AskNativeAllocator(native)))
        native = "glibc unanswered";
    MemoryRegions regions;
    const std::string where = SUCCEEDED(ReadMemoryRegions(regions)) ? FormatMemoryRegions(regions)
                                                                    : std::string("regions unread");
    std::printf("%-7s %s %7d  committed %10llu  working set %10llu  handles %5lu  "
                "live Direct3D objects %3lu  %s  %s%s%s\n",
                when, unit, count, static_cast<unsigned long long>(committed),
                static_cast<unsigned long long>(memory.WorkingSetSize), HandleCount(),
                static_cast<unsigned long>(live), where.c_str(), native.c_str(),
                FrameworkHeap().c_str(), extra.c_str());
    std::fflush(stdout);
}

int Fail(const char* what, int frame, HRESULT hr) {
    std::fprintf(stderr, "soak: %s failed at frame %d (HRESULT 0x%08lX)\n", what, frame,
                 static_cast<unsigned long>(hr));
    return 1;
}

struct Frames {
    UINT width = 0, height = 0;
    ComPtr<IDirect3DTexture9> in0, in1, out;
};

HRESULT MakeFrames(IDirect3DDevice9* device, const std::wstring& folder, const Size* sizes,
                   size_t count, std::vector<Frames>& frames) {
    frames.resize(count);
    for (size_t i = 0; i < count; ++i) {
        Frames& f = frames[i];
        f.width = sizes[i].width;
        f.height = sizes[i].height;
        RETURN_IF_FAILED(LoadImageTexture(device, folder + L"\\images\\from.png", f.width, f.height,
                                          f.in0.put()));
        RETURN_IF_FAILED(
            LoadImageTexture(device, folder + L"\\images\\to.png", f.width, f.height, f.in1.put()));
        RETURN_IF_FAILED(CreateTargetTexture(device, f.width, f.height, f.out.put()));
    }
    return S_OK;
}

// A whole-target quad in pixels, with the half-pixel offset of Direct3D 9.
struct QuadVertex {
    float x, y, z, rhw, u, v;
};
constexpr DWORD kQuadFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;

static_assert(sizeof(QuadVertex) == quorvel::kGridVertexStride, "one stride for both layouts");

// The controls' geometry, made as Quorvel.dll makes its grid: a vertex
// buffer anew for every output size and an index buffer anew at every
// Initialize, both write-only in the default pool, so the controls ask
// Direct3D for the same kinds of objects at the same times. Its vertices
// are in pixels, or in the grid's own layout (clip space, its vertex
// format), as effects with a vertex shader are drawn by Quorvel.dll:
// Direct3D keeps state per vertex shader and input layout.
class Geometry {
  public:
    void UseGridVertices() { m_grid = true; }
    HRESULT Initialize(IDirect3DDevice9* device) {
        m_indices.reset();
        RETURN_IF_FAILED(device->CreateIndexBuffer(6 * sizeof(WORD), D3DUSAGE_WRITEONLY,
                                                   D3DFMT_INDEX16, D3DPOOL_DEFAULT, m_indices.put(),
                                                   nullptr));
        void* data = nullptr;
        RETURN_IF_FAILED(m_indices->Lock(0, 0, &data, 0));
        const WORD indices[6] = {0, 1, 3, 3, 2, 0};
        std::memcpy(data, indices, sizeof(indices));
        return m_indices->Unlock();
    }
    HRESULT Bind(IDirect3DDevice9* device, UINT width, UINT height) {
        if (!m_vertices || width != m_width || height != m_height) {
            m_vertices.reset();
            RETURN_IF_FAILED(
                device->CreateVertexBuffer(4 * sizeof(QuadVertex), D3DUSAGE_WRITEONLY,
                                           m_grid ? quorvel::kGridVertexFormat : kQuadFormat,
                                           D3DPOOL_DEFAULT, m_vertices.put(), nullptr));
            const float w = static_cast<float>(width) - 0.5f, h = static_cast<float>(height) - 0.5f;
            const QuadVertex quad[4] = {{-0.5f, -0.5f, 0.0f, 1.0f, 0.0f, 0.0f},
                                        {w, -0.5f, 0.0f, 1.0f, 1.0f, 0.0f},
                                        {-0.5f, h, 0.0f, 1.0f, 0.0f, 1.0f},
                                        {w, h, 0.0f, 1.0f, 1.0f, 1.0f}};
            const float hu = 0.5f / static_cast<float>(width),
                        hv = 0.5f / static_cast<float>(height);
            const D3DCOLOR white = D3DCOLOR_ARGB(0xFF, 0xFF, 0xFF, 0xFF);
            const quorvel::GridVertex grid[4] = {{-1.0f, 1.0f, 0.0f, white, hu, hv},
                                                 {1.0f, 1.0f, 0.0f, white, 1.0f + hu, hv},
                                                 {-1.0f, -1.0f, 0.0f, white, hu, 1.0f + hv},
                                                 {1.0f, -1.0f, 0.0f, white, 1.0f + hu, 1.0f + hv}};
            void* data = nullptr;
            RETURN_IF_FAILED(m_vertices->Lock(0, 0, &data, 0));
            if (m_grid)
                std::memcpy(data, grid, sizeof(grid));
            else
                std::memcpy(data, quad, sizeof(quad));
            RETURN_IF_FAILED(m_vertices->Unlock());
            m_width = width;
            m_height = height;
        }
        RETURN_IF_FAILED(device->SetFVF(m_grid ? quorvel::kGridVertexFormat : kQuadFormat));
        RETURN_IF_FAILED(device->SetStreamSource(0, m_vertices.get(), 0, sizeof(QuadVertex)));
        return device->SetIndices(m_indices.get());
    }
    HRESULT Draw(IDirect3DDevice9* device) {
        return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    }
    void Close(IDirect3DDevice9* device) {
        // Unbound first, so nothing of ours outlives the run on the device.
        if (device) {
            device->SetStreamSource(0, nullptr, 0, 0);
            device->SetIndices(nullptr);
        }
        m_vertices.reset();
        m_indices.reset();
    }

  private:
    ComPtr<IDirect3DVertexBuffer9> m_vertices;
    ComPtr<IDirect3DIndexBuffer9> m_indices;
    UINT m_width = 0, m_height = 0;
    bool m_grid = false;
};

// Draws `draw` into level 0 of `target` inside a scene with the geometry
// bound, putting the previous render target back.
template <typename Draw>
HRESULT DrawInto(IDirect3DDevice9* device, Geometry& geometry, const Frames& f, Draw draw) {
    ComPtr<IDirect3DSurface9> surface, previous;
    RETURN_IF_FAILED(f.out->GetSurfaceLevel(0, surface.put()));
    RETURN_IF_FAILED(device->GetRenderTarget(0, previous.put()));
    RETURN_IF_FAILED(geometry.Bind(device, f.width, f.height));
    RETURN_IF_FAILED(device->SetRenderTarget(0, surface.get()));
    HRESULT hr = device->BeginScene();
    if (SUCCEEDED(hr)) {
        hr = draw();
        const HRESULT ended = device->EndScene();
        if (SUCCEEDED(hr))
            hr = ended;
    }
    const HRESULT restored = device->SetRenderTarget(0, previous.get());
    return FAILED(hr) ? hr : restored;
}

// The crossfade as the soak draws it, made anew by Initialize.
class Drawer {
  public:
    virtual ~Drawer() = default;
    virtual HRESULT Initialize() = 0;
    virtual HRESULT Render(int frameInSpan, int span, const Frames& f) = 0;
    virtual void Close() = 0;
};

// Through Quorvel.dll, as the host drives it.
class ProductDrawer : public Drawer {
  public:
    HRESULT Open(IDirect3DDevice9* device, const std::wstring& folder) {
        return OpenTransition(m_session, device, folder,
                              folder + L"\\library\\transitions\\crossfade.fx", L"Crossfade");
    }
    HRESULT Initialize() override { return m_session.Initialize(); }
    HRESULT Render(int frameInSpan, int span, const Frames& f) override {
        return m_session.Render(FrameTime(static_cast<UINT>(frameInSpan)),
                                TickTime(kTicksPerFrame * span), f.in0.get(), f.in1.get(),
                                f.out.get());
    }
    void Close() override { m_session.Close(); }

  private:
    Session m_session;
};

using CreateEffectFromFileFn = HRESULT(WINAPI*)(IDirect3DDevice9*, const wchar_t*, const D3DXMACRO*,
                                                ID3DXInclude*, DWORD, ID3DXEffectPool*,
                                                ID3DXEffect**, ID3DXBuffer**);

// The stand-in effect framework beside Quorvel.dll, called directly.
class FrameworkDrawer : public Drawer {
  public:
    HRESULT Open(IDirect3DDevice9* device, const std::wstring& folder) {
        m_device = device;
        m_path = folder + L"\\library\\transitions\\crossfade.fx";
        m_technique = "Crossfade";
        m_module.reset(::LoadLibraryExW((folder + L"\\d3dx9_30.dll").c_str(), nullptr,
                                        LOAD_WITH_ALTERED_SEARCH_PATH));
        RETURN_HR_IF_NULL(HRESULT_FROM_WIN32(::GetLastError()), m_module.get());
        // Wine's own copy would not compile the effect: the stand-in's marker.
        RETURN_HR_IF_NULL(E_NOINTERFACE, ::GetProcAddress(m_module.get(), "QuorvelFxStandIn"));
        m_create = reinterpret_cast<CreateEffectFromFileFn>(
            ::GetProcAddress(m_module.get(), "D3DXCreateEffectFromFileW"));
        RETURN_HR_IF_NULL(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), m_create);
        return S_OK;
    }
    HRESULT Initialize() override {
        m_effect.reset();
        RETURN_IF_FAILED(m_geometry.Initialize(m_device));
        RETURN_IF_FAILED(m_create(m_device, m_path.c_str(), nullptr, nullptr, 0, nullptr,
                                  m_effect.put(), nullptr));
        RETURN_IF_FAILED(m_effect->SetTechnique(m_technique.c_str()));
        m_from = m_effect->GetParameterBySemantic(nullptr, quorvel::g_inputTextureSemantics[0]);
        m_to = m_effect->GetParameterBySemantic(nullptr, quorvel::g_inputTextureSemantics[1]);
        m_time = m_effect->GetParameterBySemantic(
            nullptr, quorvel::g_boundSemantics[static_cast<size_t>(quorvel::BoundSemantic::Time)]);
        return m_from ? S_OK : E_FAIL;
    }
    // Vertices in the grid's layout, as Quorvel.dll draws (the clip soak).
    void UseGridVertices() { m_geometry.UseGridVertices(); }
    // Another effect file and technique for the next Initialize.
    HRESULT Use(const std::wstring& path, const std::wstring& technique) {
        m_path = path;
        return quorvel::Narrow(technique, m_technique, CP_ACP);
    }
    HRESULT Render(int frameInSpan, int span, const Frames& f) override {
        RETURN_IF_FAILED(m_effect->SetTexture(m_from, f.in0.get()));
        if (m_to)
            RETURN_IF_FAILED(m_effect->SetTexture(m_to, f.in1.get()));
        if (m_time)
            RETURN_IF_FAILED(m_effect->SetFloat(m_time, static_cast<float>(frameInSpan) /
                                                            static_cast<float>(span)));
        // Every pass, as Quorvel.dll draws them.
        return DrawInto(m_device, m_geometry, f, [&] {
            UINT passes = 0;
            RETURN_IF_FAILED(m_effect->Begin(&passes, 0));
            HRESULT hr = S_OK;
            for (UINT pass = 0; pass < passes && SUCCEEDED(hr); ++pass) {
                hr = m_effect->BeginPass(pass);
                if (SUCCEEDED(hr)) {
                    hr = m_geometry.Draw(m_device);
                    const HRESULT ended = m_effect->EndPass();
                    if (SUCCEEDED(hr))
                        hr = ended;
                }
            }
            const HRESULT ended = m_effect->End();
            return FAILED(hr) ? hr : ended;
        });
    }
    void Close() override {
        m_effect.reset();
        m_geometry.Close(m_device);
    }
    // The pass's pixel shader bytecode, for the plain-shader control.
    HRESULT PixelCode(std::vector<DWORD>& code) {
        D3DXPASS_DESC pass = {};
        RETURN_IF_FAILED(m_effect->GetPassDesc(
            m_effect->GetPass(m_effect->GetTechniqueByName("Crossfade"), 0), &pass));
        RETURN_HR_IF_NULL(E_FAIL, pass.pPixelShaderFunction);
        const UINT bytes = D3DXGetShaderSize(pass.pPixelShaderFunction);
        code.assign(pass.pPixelShaderFunction, pass.pPixelShaderFunction + bytes / sizeof(DWORD));
        return S_OK;
    }

  private:
    IDirect3DDevice9* m_device = nullptr;
    std::wstring m_path;
    std::string m_technique;
    quorvel::UniqueHModule m_module; // outlives the effect below
    CreateEffectFromFileFn m_create = nullptr;
    Geometry m_geometry;
    ComPtr<ID3DXEffect> m_effect;
    D3DXHANDLE m_from = nullptr, m_to = nullptr, m_time = nullptr;
};

// No framework: a pixel shader of the same bytecode and the states the
// effect sets.
class ShaderDrawer : public Drawer {
  public:
    HRESULT Open(IDirect3DDevice9* device, std::vector<DWORD> code) {
        m_device = device;
        m_code = std::move(code);
        return S_OK;
    }
    HRESULT Initialize() override {
        m_shader.reset();
        RETURN_IF_FAILED(m_geometry.Initialize(m_device));
        return m_device->CreatePixelShader(m_code.data(), m_shader.put());
    }
    HRESULT Render(int frameInSpan, int span, const Frames& f) override {
        const float time[4] = {static_cast<float>(frameInSpan) / static_cast<float>(span), 0, 0, 0};
        for (DWORD s = 0; s < 2; ++s) {
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_POINT));
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP));
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP));
        }
        RETURN_IF_FAILED(m_device->SetTexture(0, f.in0.get()));
        RETURN_IF_FAILED(m_device->SetTexture(1, f.in1.get()));
        RETURN_IF_FAILED(m_device->SetPixelShaderConstantF(0, time, 1));
        RETURN_IF_FAILED(m_device->SetVertexShader(nullptr));
        RETURN_IF_FAILED(m_device->SetPixelShader(m_shader.get()));
        const HRESULT hr =
            DrawInto(m_device, m_geometry, f, [&] { return m_geometry.Draw(m_device); });
        // Nothing of ours stays bound between frames.
        m_device->SetPixelShader(nullptr);
        m_device->SetTexture(0, nullptr);
        m_device->SetTexture(1, nullptr);
        return hr;
    }
    void Close() override {
        m_shader.reset();
        m_geometry.Close(m_device);
    }

  private:
    IDirect3DDevice9* m_device = nullptr;
    std::vector<DWORD> m_code;
    Geometry m_geometry;
    ComPtr<IDirect3DPixelShader9> m_shader;
};

// No shader: the fixed-function stages blend the two inputs by the texture
// factor, on the same geometry, so only the device's own objects come and go.
class DeviceDrawer : public Drawer {
  public:
    void Open(IDirect3DDevice9* device) { m_device = device; }
    HRESULT Initialize() override { return m_geometry.Initialize(m_device); }
    HRESULT Render(int frameInSpan, int span, const Frames& f) override {
        const DWORD weight = static_cast<DWORD>(255 * frameInSpan / span);
        for (DWORD s = 0; s < 2; ++s) {
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_POINT));
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP));
            RETURN_IF_FAILED(m_device->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP));
            RETURN_IF_FAILED(m_device->SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, 0));
            RETURN_IF_FAILED(m_device->SetTextureStageState(s, D3DTSS_COLORARG1, D3DTA_TEXTURE));
            RETURN_IF_FAILED(m_device->SetTextureStageState(s, D3DTSS_COLORARG2, D3DTA_CURRENT));
        }
        // From, then weight To + (1 - weight) From.
        RETURN_IF_FAILED(m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1));
        RETURN_IF_FAILED(
            m_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA));
        RETURN_IF_FAILED(m_device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE));
        RETURN_IF_FAILED(m_device->SetRenderState(D3DRS_TEXTUREFACTOR, weight << 24));
        RETURN_IF_FAILED(m_device->SetTexture(0, f.in0.get()));
        RETURN_IF_FAILED(m_device->SetTexture(1, f.in1.get()));
        RETURN_IF_FAILED(m_device->SetVertexShader(nullptr));
        RETURN_IF_FAILED(m_device->SetPixelShader(nullptr));
        const HRESULT hr =
            DrawInto(m_device, m_geometry, f, [&] { return m_geometry.Draw(m_device); });
        m_device->SetTexture(0, nullptr);
        m_device->SetTexture(1, nullptr);
        return hr;
    }
    void Close() override { m_geometry.Close(m_device); }

  private:
    IDirect3DDevice9* m_device = nullptr;
    Geometry m_geometry;
};

// The assembler the stand-in framework calls (Wine's), from the
// framework's own folder.
HRESULT LoadAssembler(const std::wstring& folder, quorvel::UniqueHModule& module,
                      AssembleShaderFn& assemble) {
    module.reset(::LoadLibraryExW((folder + L"\\d3dx9_30.dll").c_str(), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH));
    RETURN_HR_IF_NULL(HRESULT_FROM_WIN32(::GetLastError()), module.get());
    assemble =
        reinterpret_cast<AssembleShaderFn>(::GetProcAddress(module.get(), "D3DXAssembleShader"));
    RETURN_HR_IF_NULL(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), assemble);
    return S_OK;
}

// The fixed-function control, and at every Initialize the crossfade's pixel
// shader assembled by the assembler the stand-in framework calls (Wine's),
// the result released unused: what assembling alone keeps.
class AssemblerDrawer : public DeviceDrawer {
  public:
    HRESULT Open(IDirect3DDevice9* device, const std::wstring& folder) {
        DeviceDrawer::Open(device);
        return LoadAssembler(folder, m_module, m_assemble);
    }
    HRESULT Initialize() override {
        static const char kText[] = "ps_2_0\n"
                                    "dcl t0.xy\n"
                                    "dcl_2d s0\n"
                                    "dcl_2d s1\n"
                                    "texld r0, t0, s0\n"
                                    "texld r1, t0, s1\n"
                                    "lrp r2, c0.x, r1, r0\n"
                                    "mov oC0, r2\n";
        ComPtr<ID3DXBuffer> code, errors;
        RETURN_IF_FAILED(
            m_assemble(kText, sizeof(kText) - 1, nullptr, nullptr, 0, code.put(), errors.put()));
        return DeviceDrawer::Initialize();
    }

  private:
    quorvel::UniqueHModule m_module;
    AssembleShaderFn m_assemble = nullptr;
};

// The clip soak's controls with no framework: a clip's shaders made on the
// device, assembled for the clip or from tokens assembled at the start, the
// technique's passes drawn with them, and all released at the clip's end.
class ClipShaders {
  public:
    HRESULT Open(IDirect3DDevice9* device, const std::wstring& folder) {
        m_device = device;
        m_geometry.UseGridVertices();
        return LoadAssembler(folder, m_module, m_assemble);
    }
    AssembleShaderFn Assembler() const { return m_assemble; }
    HRESULT Begin(const EffectShaders& effect, bool assemble) {
        RETURN_IF_FAILED(m_geometry.Initialize(m_device));
        std::vector<DWORD> assembled;
        for (const EffectShader& shader : effect.shaders) {
            if (assemble)
                RETURN_IF_FAILED(AssembleEffectShader(m_assemble, shader, assembled));
            const DWORD* code = assemble ? assembled.data() : shader.code.data();
            m_pixel.emplace_back();
            m_vertex.emplace_back();
            RETURN_IF_FAILED(shader.pixel
                                 ? m_device->CreatePixelShader(code, m_pixel.back().put())
                                 : m_device->CreateVertexShader(code, m_vertex.back().put()));
        }
        for (const EffectShaders::Pass& pass : effect.passes)
            m_passes.push_back({pass.pixel >= 0 ? m_pixel[pass.pixel].get() : nullptr,
                                pass.vertex >= 0 ? m_vertex[pass.vertex].get() : nullptr});
        // No shader at all: one pass by the fixed-function stages.
        if (m_passes.empty())
            m_passes.emplace_back();
        return S_OK;
    }
    HRESULT Render(int frame, int span, const Frames& f) {
        const float time[4] = {static_cast<float>(frame) / static_cast<float>(span), 0, 0, 0};
        RETURN_IF_FAILED(m_device->SetTexture(0, f.in0.get()));
        RETURN_IF_FAILED(m_device->SetTexture(1, f.in1.get()));
        RETURN_IF_FAILED(m_device->SetPixelShaderConstantF(0, time, 1));
        const HRESULT hr = DrawInto(m_device, m_geometry, f, [&] {
            for (const auto& [pixel, vertex] : m_passes) {
                RETURN_IF_FAILED(m_device->SetVertexShader(vertex));
                RETURN_IF_FAILED(m_device->SetPixelShader(pixel));
                RETURN_IF_FAILED(m_geometry.Draw(m_device));
            }
            return S_OK;
        });
        // Nothing of the clip's stays bound past its end.
        m_device->SetVertexShader(nullptr);
        m_device->SetPixelShader(nullptr);
        m_device->SetTexture(0, nullptr);
        m_device->SetTexture(1, nullptr);
        return hr;
    }
    void End() {
        m_passes.clear();
        m_pixel.clear();
        m_vertex.clear();
        m_geometry.Close(m_device);
    }

  private:
    IDirect3DDevice9* m_device = nullptr;
    quorvel::UniqueHModule m_module;
    AssembleShaderFn m_assemble = nullptr;
    Geometry m_geometry;
    std::vector<ComPtr<IDirect3DPixelShader9>> m_pixel;
    std::vector<ComPtr<IDirect3DVertexShader9>> m_vertex;
    // Each pass's shaders, as the effect would set them.
    std::vector<std::pair<IDirect3DPixelShader9*, IDirect3DVertexShader9*>> m_passes;
};

int FrameSoak(const char* mode, int argc, char** argv) {
    // Frames, then how often the size changes and the shader is made anew
    // (0: never), so a growth can be traced to one of them.
    const int total = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int sizeEvery = argc > 3 ? std::atoi(argv[3]) : 1000;
    const int initializeEvery = argc > 4 ? std::atoi(argv[4]) : 10000;
    const std::wstring folder = RenderFolder();
    DeviceContext context;
    HRESULT hr = context.Create();
    if (FAILED(hr))
        return Fail("device", 0, hr);
    IDirect3DDevice9* device = context.device();

    // The host's frames for every size, made once so the bench itself does not grow.
    std::vector<Frames> frames;
    if (FAILED(hr = MakeFrames(device, folder, kSizes, kSizeCount, frames)))
        return Fail("host frames", 0, hr);
    const ULONG ownReferences = DeviceReferences(device);

    ProductDrawer product;
    FrameworkDrawer framework;
    ShaderDrawer shaders;
    DeviceDrawer fixed;
    AssemblerDrawer assembler;
    Drawer* drawer = nullptr;
    if (std::strcmp(mode, "device") == 0) {
        fixed.Open(device);
        drawer = &fixed;
    } else if (std::strcmp(mode, "assembler") == 0) {
        if (FAILED(hr = assembler.Open(device, folder)))
            return Fail("loading the stand-in framework", 0, hr);
        drawer = &assembler;
    } else if (std::strcmp(mode, "product") == 0) {
        if (FAILED(hr = product.Open(device, folder)))
            return Fail("opening Quorvel.dll", 0, hr);
        drawer = &product;
    } else {
        if (FAILED(hr = framework.Open(device, folder)))
            return Fail("loading the stand-in framework", 0, hr);
        drawer = &framework;
        if (std::strcmp(mode, "shaders") == 0) {
            // The bytecode is taken once; the framework is gone before the soak.
            std::vector<DWORD> code;
            if (FAILED(hr = framework.Initialize()) || FAILED(hr = framework.PixelCode(code)) ||
                FAILED(hr = shaders.Open(device, std::move(code))))
                return Fail("assembling the shader", 0, hr);
            framework.Close();
            drawer = &shaders;
        }
    }
    // Objects the drawer keeps for the whole run (the host device object) count as the bench's.
    const ULONG keptReferences = DeviceReferences(device) - ownReferences;

    std::printf("soak %s: %d crossfade frames, size change every %d, new shader every %d\n", mode,
                total, sizeEvery, initializeEvery);
    const int span = sizeEvery > 0 ? sizeEvery : 1000;
    // About twenty checkpoints, each at the end of a size's span, so a jump
    // can be placed within a few spans.
    const int checkpointEvery = std::max(span, total / 20 / span * span);
    for (int frame = 0; frame < total; ++frame) {
        if ((frame == 0 || (initializeEvery > 0 && frame % initializeEvery == 0)) &&
            FAILED(hr = drawer->Initialize()))
            return Fail("Initialize", frame, hr);
        const Frames& f = frames[sizeEvery > 0 ? (frame / sizeEvery) % kSizeCount : 0];
        if (FAILED(hr = drawer->Render(frame % span, span, f)))
            return Fail("Render", frame, hr);
        if ((frame + 1) % 1000 == 0)
            Finish(device);
        const int done = frame + 1;
        const ULONG own = ownReferences + keptReferences;
        if (done == 1)
            Print("start", "frame", done, device, own);
        else if (done == total)
            Print("end", "frame", done, device, own);
        else if (done % checkpointEvery == 0)
            Print("cycle", "frame", done, device, own);
    }
    drawer->Close();
    product.Close();
    framework.Close();
    Finish(device);
    Print("closed", "frame", total, device, ownReferences);
    return 0;
}

struct Entry {
    std::wstring file, technique;
    bool transition = false;
};

// The library's rows (name, kind, file, technique, ...), header skipped.
HRESULT ReadIndex(const std::wstring& folder, std::vector<Entry>& entries) {
    std::string narrowFolder;
    RETURN_IF_FAILED(quorvel::Narrow(folder, narrowFolder, CP_ACP));
    std::ifstream in(narrowFolder + "\\library\\index.tsv");
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), !in);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream cells(line);
        std::string name, kind, file, technique;
        if (!std::getline(cells, name, '\t') || !std::getline(cells, kind, '\t') ||
            !std::getline(cells, file, '\t') || !std::getline(cells, technique, '\t'))
            continue;
        Entry e;
        for (char& c : file)
            c = c == '/' ? '\\' : c;
        RETURN_IF_FAILED(quorvel::Widen(narrowFolder + "\\library\\" + file, e.file, CP_ACP));
        RETURN_IF_FAILED(quorvel::Widen(technique, e.technique, CP_ACP));
        e.transition = kind == "transition";
        entries.push_back(std::move(e));
    }
    return entries.empty() ? E_FAIL : S_OK;
}

// How the clip soak makes each clip's effect.
enum class ClipWay { Product, Framework, Assembler, Shaders, Device };

int ClipSoak(ClipWay way, int argc, char** argv) {
    const bool framework = way == ClipWay::Framework;
    const int clips = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int perClip = argc > 3 ? std::atoi(argv[3]) : 250;
    if (clips < 1 || perClip < 1) {
        std::fprintf(stderr, "soak: CLIPS and FRAMES_PER_CLIP must be at least 1\n");
        return 2;
    }
    const std::wstring folder = RenderFolder();
    std::vector<Entry> entries;
    HRESULT hr = ReadIndex(folder, entries);
    if (FAILED(hr))
        return Fail("reading the library's index", 0, hr);
    if (argc > 4) {
        std::wstring only;
        if (FAILED(hr = quorvel::Widen(argv[4], only, CP_ACP)))
            return Fail("reading ONLY", 0, hr);
        entries.erase(
            std::remove_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.file.find(only) == std::wstring::npos; }),
            entries.end());
        if (entries.empty()) {
            std::fprintf(stderr, "soak: no library entry's file holds %s\n", argv[4]);
            return 2;
        }
    }
    DeviceContext context;
    if (FAILED(hr = context.Create()))
        return Fail("device", 0, hr);
    IDirect3DDevice9* device = context.device();
    std::vector<Frames> frames;
    if (FAILED(hr = MakeFrames(device, folder, kClipSizes, kClipSizeCount, frames)))
        return Fail("host frames", 0, hr);
    const ULONG ownReferences = DeviceReferences(device);

    // The host keeps the server loaded for the whole session.
    quorvel::UniqueHModule server(::LoadLibraryExW((folder + L"\\Quorvel.dll").c_str(), nullptr,
                                                   LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!server)
        return Fail("loading Quorvel.dll", 0, HRESULT_FROM_WIN32(::GetLastError()));

    // The control: each clip's effect through the stand-in framework alone.
    FrameworkDrawer control;
    if (framework && FAILED(hr = control.Open(device, folder)))
        return Fail("loading the stand-in framework", 0, hr);
    control.UseGridVertices();

    // The controls without the framework: every entry's shaders read once.
    ClipShaders shaders;
    std::vector<EffectShaders> entryShaders;
    const bool noFramework =
        way == ClipWay::Assembler || way == ClipWay::Shaders || way == ClipWay::Device;
    if (noFramework) {
        if (FAILED(hr = shaders.Open(device, folder)))
            return Fail("loading the assembler", 0, hr);
        for (const Entry& e : entries) {
            std::string technique, messages;
            entryShaders.emplace_back();
            if (FAILED(hr = quorvel::Narrow(e.technique, technique, CP_ACP)) ||
                FAILED(hr = ReadEffectShaders(e.file, technique, shaders.Assembler(),
                                              entryShaders.back(), messages))) {
                std::fprintf(stderr, "soak: %ls: %s\n", e.file.c_str(), messages.c_str());
                return Fail("reading an effect's shaders", 0, hr);
            }
        }
    }
    static const char* const kWays[] = {
        "", ", stand-in framework alone", ", shaders assembled, no framework",
        ", shaders only, no framework", ", geometry only, no shader"};
    std::printf("soak clips%s: %d clips of %d frames, %zu library entries, %zu sizes",
                kWays[static_cast<int>(way)], clips, perClip, entries.size(), kClipSizeCount);
    if (way == ClipWay::Assembler || way == ClipWay::Shaders) {
        // What the assembler and the device are given a clip, on average over the run.
        double made = 0, instructions = 0;
        for (int clip = 0; clip < clips; ++clip) {
            for (const EffectShader& shader :
                 entryShaders[(static_cast<size_t>(clip) * 7) % entries.size()].shaders) {
                made += 1;
                instructions += static_cast<double>(fx::ListInstructions(shader.text).size());
            }
        }
        std::printf(", %.1f shaders of %.0f instructions in all a clip", made / clips,
                    instructions / clips);
    }
    std::printf("\n");
    const int every = clips >= 20 ? clips / 20 : 1;
    const MediaTime duration = TickTime(kTicksPerFrame * (perClip > 1 ? perClip - 1 : 1));
    // The framework's own bytes while the clip's effect is alive, beside
    // those left when it is gone: the count sees what an effect holds.
    ULONGLONG during = 0, blocks = 0;
    for (int clip = 0; clip < clips; ++clip) {
        // Entries and sizes both walk on, in steps prime to their counts.
        const size_t entry = (static_cast<size_t>(clip) * 7) % entries.size();
        const Entry& e = entries[entry];
        const Frames& f = frames[static_cast<size_t>(clip) % kClipSizeCount];
        if (noFramework) {
            // The geometry-only control draws by the fixed-function stages.
            static const EffectShaders kNone;
            if (FAILED(hr = shaders.Begin(way == ClipWay::Device ? kNone : entryShaders[entry],
                                          way == ClipWay::Assembler)))
                return Fail("making a clip's shaders", clip, hr);
            for (int frame = 0; frame < perClip; ++frame)
                if (FAILED(hr = shaders.Render(frame, perClip > 1 ? perClip - 1 : 1, f)))
                    return Fail("Render", clip, hr);
            shaders.End();
        } else if (framework) {
            if (FAILED(hr = control.Use(e.file, e.technique)) || FAILED(hr = control.Initialize()))
                return Fail("creating an effect", clip, hr);
            for (int frame = 0; frame < perClip; ++frame)
                if (FAILED(hr = control.Render(frame, perClip > 1 ? perClip - 1 : 1, f)))
                    return Fail("Render", clip, hr);
            FrameworkLiveHeap(during, blocks);
            control.Close();
        } else {
            Session session;
            if (FAILED(hr = OpenTransition(session, device, folder, e.file, e.technique,
                                           e.transition)))
                return Fail("opening a transform", clip, hr);
            if (FAILED(hr = session.Initialize())) {
                std::fprintf(stderr, "soak: Initialize failed for %ls\n", e.file.c_str());
                return Fail("Initialize", clip, hr);
            }
            for (int frame = 0; frame < perClip; ++frame)
                if (FAILED(hr = session.Render(FrameTime(static_cast<UINT>(frame)), duration,
                                               f.in0.get(), f.in1.get(), f.out.get()))) {
                    std::fprintf(stderr, "soak: Render failed for %ls\n", e.file.c_str());
                    return Fail("Render", clip, hr);
                }
            FrameworkLiveHeap(during, blocks);
        }
        Finish(device);
        const int done = clip + 1;
        const std::string held = "  fx-during " + std::to_string(during);
        if (done == 1)
            Print("start", "clip", done, device, ownReferences, held);
        else if (done == clips)
            Print("end", "clip", done, device, ownReferences, held);
        else if (done % every == 0)
            Print("cycle", "clip", done, device, ownReferences, held);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "product") != 0 && std::strcmp(mode, "framework") != 0 &&
        std::strcmp(mode, "shaders") != 0 && std::strcmp(mode, "device") != 0 &&
        std::strcmp(mode, "assembler") != 0 && std::strcmp(mode, "clips") != 0 &&
        std::strcmp(mode, "clips-framework") != 0 && std::strcmp(mode, "clips-assembler") != 0 &&
        std::strcmp(mode, "clips-shaders") != 0 && std::strcmp(mode, "clips-device") != 0) {
        std::fprintf(stderr,
                     "usage: bench_soak product|framework|shaders|device|assembler [FRAMES "
                     "[SIZE_EVERY [INITIALIZE_EVERY]]]\n"
                     "       bench_soak clips|clips-framework|clips-assembler|clips-shaders|"
                     "clips-device [CLIPS [FRAMES_PER_CLIP [ONLY]]]\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (std::strncmp(mode, "clips", 5) == 0)
        return ClipSoak(std::strcmp(mode, "clips-framework") == 0   ? ClipWay::Framework
                        : std::strcmp(mode, "clips-assembler") == 0 ? ClipWay::Assembler
                        : std::strcmp(mode, "clips-shaders") == 0   ? ClipWay::Shaders
                        : std::strcmp(mode, "clips-device") == 0    ? ClipWay::Device
                                                                    : ClipWay::Product,
                        argc, argv);
    return FrameSoak(mode, argc, argv);
}
