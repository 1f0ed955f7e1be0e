// Frames rendered through the real Quorvel.dll, the stand-in effect framework
// and a real device, read back pixel by pixel.

#include "tests/e2e/E2ESupport.h"

#include "host/render/Transform.h"

#include <d3dx9.h>

#include <algorithm>
#include <cstdlib>

namespace {

using e2e::ComPtr;
using quorvelrender::Session;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

constexpr char kInputDeclaration[] = R"(
texture Input : InputTexture0;
sampler InputSampler = sampler_state
{
    Texture = <Input>;
    MinFilter = Point;
    MagFilter = Point;
    AddressU = Clamp;
    AddressV = Clamp;
};
)";

constexpr char kPassThroughTechnique[] = R"(
technique Pass
{
    pass P0
    {
        Sampler[0] = <InputSampler>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            mov oC0, r0
        };
    }
}
)";

std::string PassThroughEffect() { return std::string(kInputDeclaration) + kPassThroughTechnique; }

// The largest difference of any channel, alpha included.
UINT LargestDifference(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
    if (a.size() != b.size() || a.empty())
        return 256;
    UINT largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            largest = std::max<UINT>(
                largest, static_cast<UINT>(std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                                    static_cast<int>((b[i] >> shift) & 0xFF))));
    return largest;
}

// The host's shared folder in the test prefix.
std::wstring SharedFolder() {
    wchar_t shared[MAX_PATH];
    const DWORD n =
        ::ExpandEnvironmentStringsW(L"%ProgramFiles%\\Movie Maker\\Shared", shared, MAX_PATH);
    return n == 0 || n > MAX_PATH ? std::wstring(L"<unexpanded>") : std::wstring(shared);
}

// A file or folder a test put into the shared folder, removed at scope end.
struct RemovedAtEnd {
    std::wstring path;
    ~RemovedAtEnd() { testing_support::RemoveTree(path); }
};

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_FRAMEWORK();
        ASSERT_NE(e2e::Device(), nullptr);
    }

    std::wstring WriteEffect(const std::wstring& name, const std::string& text) {
        const std::wstring path = m_folder / name;
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }

    ScratchFolder m_folder;
};

struct PassThroughCase {
    UINT width, height, gridX, gridY;
};

class PassThrough : public EndToEnd, public ::testing::WithParamInterface<PassThroughCase> {};

TEST_P(PassThrough, OutputIsTheInputPixelForPixel) {
    const PassThroughCase c = GetParam();
    const std::wstring effect = WriteEffect(L"pass.fx", PassThroughEffect());
    const ULONG deviceRefs = testing_support::RefCount(e2e::Device());
    {
        const std::vector<DWORD> pixels = e2e::Pattern(c.width, c.height, 1);
        ComPtr<IDirect3DTexture9> input, output;
        ASSERT_EQ(e2e::Upload(pixels, c.width, c.height, input.put()), S_OK);
        ASSERT_EQ(e2e::Target(c.width, c.height, output.put()), S_OK);
        Session session;
        ASSERT_EQ(e2e::Start(session, false, effect, L"Pass", c.gridX, c.gridY), S_OK);
        ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1000),
                                 input.get(), nullptr, output.get()),
                  S_OK);
        EXPECT_EQ(LargestDifference(e2e::Read(output.get()), pixels), 0u);
        session.Close();
        EXPECT_REF(input.get(), 1);
        EXPECT_REF(output.get(), 1);
    }
    // Every reference the transform took on the device went with it.
    EXPECT_EQ(testing_support::RefCount(e2e::Device()), deviceRefs);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PassThrough,
    ::testing::Values(PassThroughCase{640, 480, 0, 0}, PassThroughCase{640, 480, 10, 7},
                      PassThroughCase{720, 480, 0, 0}, PassThroughCase{720, 480, 10, 7},
                      PassThroughCase{333, 217, 0, 0}, PassThroughCase{333, 217, 10, 7},
                      PassThroughCase{1920, 1080, 0, 0}, PassThroughCase{1920, 1080, 10, 7}));

TEST_F(EndToEnd, CrossfadeGivesFirstMeanAndSecond) {
    const UINT w = 320, h = 240;
    const std::vector<DWORD> a = e2e::Pattern(w, h, 2), b = e2e::Pattern(w, h, 3);
    ComPtr<IDirect3DTexture9> in0, in1, output;
    ASSERT_EQ(e2e::Upload(a, w, h, in0.put()), S_OK);
    ASSERT_EQ(e2e::Upload(b, w, h, in1.put()), S_OK);
    ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);
    Session session;
    ASSERT_EQ(e2e::Start(session, true, e2e::LibraryFolder() + L"\\transitions\\crossfade.fx",
                         L"Crossfade"),
              S_OK);
    std::vector<DWORD> mean(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        DWORD m = 0;
        for (int shift = 0; shift < 32; shift += 8)
            m |= ((((a[i] >> shift) & 0xFF) + ((b[i] >> shift) & 0xFF)) / 2) << shift;
        mean[i] = m;
    }
    // Positions in the flagged frame-rate form and the plain form, one duration.
    const MediaTime duration = quorvelrender::TickTime(10 * quorvelrender::kTicksPerFrame);
    const struct {
        MediaTime position;
        const std::vector<DWORD>* expected;
        UINT tolerance;
    } cases[] = {
        {quorvelrender::TickTime(0), &a, 0},
        {quorvelrender::FrameTime(5), &mean, 1},
        {quorvelrender::FrameTime(10), &b, 0},
        {quorvelrender::TickTime(5 * quorvelrender::kTicksPerFrame), &mean, 1},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(session.Render(c.position, duration, in0.get(), in1.get(), output.get()), S_OK);
        EXPECT_LE(LargestDifference(e2e::Read(output.get()), *c.expected), c.tolerance);
    }
}

TEST_F(EndToEnd, TextureFileReachesSamplerTwo) {
    const UINT w = 64, h = 64;
    const std::vector<DWORD> texturePixels = e2e::Pattern(w, h, 4);
    ComPtr<IDirect3DTexture9> source, input, output;
    ASSERT_EQ(e2e::Upload(texturePixels, w, h, source.put()), S_OK);
    const std::wstring textureFile = m_folder / L"pattern.bmp";
    {
        ComPtr<IDirect3DSurface9> level;
        ASSERT_EQ(source->GetSurfaceLevel(0, level.put()), S_OK);
        ComPtr<IDirect3DSurface9> copy;
        ASSERT_EQ(e2e::Device()->CreateOffscreenPlainSurface(
                      w, h, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.put(), nullptr),
                  S_OK);
        ASSERT_EQ(e2e::Device()->GetRenderTargetData(level.get(), copy.get()), S_OK);
        ASSERT_EQ(
            D3DXSaveSurfaceToFileW(textureFile.c_str(), D3DXIFF_BMP, copy.get(), nullptr, nullptr),
            S_OK);
    }
    ASSERT_EQ(e2e::Upload(e2e::Pattern(w, h, 5), w, h, input.put()), S_OK);
    ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);
    const std::wstring effect = WriteEffect(L"sampler2.fx", std::string(kInputDeclaration) + R"(
texture File : InputTexture2;
sampler FileSampler = sampler_state
{
    Texture = <File>;
    MinFilter = Point;
    MagFilter = Point;
};
technique FromFile
{
    pass P0
    {
        Sampler[2] = <FileSampler>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            dcl t0.xy
            dcl_2d s2
            texld r0, t0, s2
            mov oC0, r0
        };
    }
}
)");
    Session session;
    ASSERT_EQ(e2e::Start(session, false, effect, L"FromFile", 0, 0,
                         {e2e::Text(L"InputTexture2", textureFile)}),
              S_OK);
    ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1), input.get(),
                             nullptr, output.get()),
              S_OK);
    EXPECT_EQ(LargestDifference(e2e::Read(output.get()), texturePixels), 0u);
}

TEST_F(EndToEnd, SemanticsColourReachesTheShader) {
    const std::wstring effect = WriteEffect(L"colour.fx", std::string(kInputDeclaration) + R"(
float4 Colour : TestColor;
technique Fill
{
    pass P0
    {
        PixelShaderConstantF[0] = <Colour>;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            mov oC0, c0
        };
    }
}
)");
    const struct {
        const wchar_t* text;
        DWORD expected;
    } cases[] = {
        {L"#FF8000", 0xFFFF8000},
        {L"navy", 0xFF000080},
        {L"#80FFFFFF", 0x80FFFFFF},
        {L"0x00FF00", 0xFF00FF00},
    };
    const UINT w = 32, h = 16;
    ComPtr<IDirect3DTexture9> input, output;
    ASSERT_EQ(e2e::Upload(e2e::Pattern(w, h, 6), w, h, input.put()), S_OK);
    ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);
    for (const auto& c : cases) {
        Session session;
        ASSERT_EQ(e2e::Start(session, false, effect, L"Fill", 0, 0, {},
                             {e2e::Text(L"TestColor", c.text)}),
                  S_OK);
        ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1),
                                 input.get(), nullptr, output.get()),
                  S_OK);
        const std::vector<DWORD> pixels = e2e::Read(output.get());
        ASSERT_FALSE(pixels.empty());
        EXPECT_LE(LargestDifference(pixels, std::vector<DWORD>(pixels.size(), c.expected)), 0u)
            << std::string(c.text, c.text + wcslen(c.text));
    }
}

TEST_F(EndToEnd, OutputSizeChangeBetweenFramesStillRendersExactly) {
    const std::wstring effect = WriteEffect(L"pass.fx", PassThroughEffect());
    Session session;
    ASSERT_EQ(e2e::Start(session, false, effect, L"Pass", 5, 4), S_OK);
    const struct { UINT w, h; } sizes[] = {{640, 480}, {333, 217}, {720, 480}, {640, 480}};
    UINT seed = 10;
    for (const auto& s : sizes) {
        const std::vector<DWORD> pixels = e2e::Pattern(s.w, s.h, seed++);
        ComPtr<IDirect3DTexture9> input, output;
        ASSERT_EQ(e2e::Upload(pixels, s.w, s.h, input.put()), S_OK);
        ASSERT_EQ(e2e::Target(s.w, s.h, output.put()), S_OK);
        ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1),
                                 input.get(), nullptr, output.get()),
                  S_OK);
        EXPECT_EQ(LargestDifference(e2e::Read(output.get()), pixels), 0u) << s.w << "x" << s.h;
    }
}

TEST_F(EndToEnd, IncludeOnlyInTheHostsSharedFolderCompilesFromMemory) {
    const std::wstring folder = SharedFolder() + L"\\quorvel-e2e";
    const RemovedAtEnd cleanup{folder};
    ASSERT_TRUE(WriteFileBytes(folder + L"\\pass-technique.fxh", kPassThroughTechnique));
    const std::wstring effect =
        WriteEffect(L"include.fx", std::string(kInputDeclaration) +
                                       "#include \"quorvel-e2e\\pass-technique.fxh\"\n");

    const UINT w = 96, h = 64;
    const std::vector<DWORD> pixels = e2e::Pattern(w, h, 7);
    ComPtr<IDirect3DTexture9> input, output;
    ASSERT_EQ(e2e::Upload(pixels, w, h, input.put()), S_OK);
    ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);
    Session session;
    ASSERT_EQ(e2e::Start(session, false, effect, L"Pass"), S_OK);
    ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1), input.get(),
                             nullptr, output.get()),
              S_OK);
    EXPECT_EQ(LargestDifference(e2e::Read(output.get()), pixels), 0u);
}

TEST_F(EndToEnd, TwoPassEffectDrawsBothPasses) {
    const std::wstring effect = WriteEffect(L"twopass.fx", std::string(kInputDeclaration) + R"(
technique TwoPass
{
    pass Red
    {
        AlphaBlendEnable = false;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            def c0, 1.0, 0.0, 0.0, 1.0
            mov oC0, c0
        };
    }
    pass AddBlue
    {
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        VertexShader = NULL;
        PixelShader = asm
        {
            ps_2_0
            def c0, 0.0, 0.0, 1.0, 0.0
            mov oC0, c0
        };
    }
}
)");
    const UINT w = 48, h = 32;
    ComPtr<IDirect3DTexture9> input, output;
    ASSERT_EQ(e2e::Upload(e2e::Pattern(w, h, 8), w, h, input.put()), S_OK);
    ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);
    Session session;
    ASSERT_EQ(e2e::Start(session, false, effect, L"TwoPass"), S_OK);
    ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1), input.get(),
                             nullptr, output.get()),
              S_OK);
    const std::vector<DWORD> pixels = e2e::Read(output.get());
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(LargestDifference(pixels, std::vector<DWORD>(pixels.size(), 0xFFFF00FF)), 0u);
}

// Quorvel.dll and the effect framework copied into `folder`, whose own path
// then decides the DLL-folder step of the effect file search.
class CopiedServer : public EndToEnd {
  protected:
    bool CopyServerTo(const std::wstring& folder) {
        testing_support::CreateFolders(folder);
        for (const wchar_t* name : {L"Quorvel.dll", L"d3dx9_30.dll"})
            if (!::CopyFileW((e2e::ToolFolder() + L"\\" + name).c_str(),
                             (folder + L"\\" + name).c_str(), FALSE))
                return false;
        return true;
    }
    // Renders one pass-through frame through the server in `folder`.
    void ExpectPassThrough(const std::wstring& folder, const std::wstring& effect) {
        const UINT w = 48, h = 32;
        const std::vector<DWORD> pixels = e2e::Pattern(w, h, 3);
        ComPtr<IDirect3DTexture9> input, output;
        ASSERT_EQ(e2e::Upload(pixels, w, h, input.put()), S_OK);
        ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);
        Session session;
        ASSERT_EQ(session.Open(e2e::Device(), folder, false, false), S_OK);
        ASSERT_EQ(quorvelrender::PutParameter(session.editor(), nullptr,
                                              e2e::Text(L"ShaderFilename", effect)),
                  S_OK);
        ASSERT_EQ(quorvelrender::PutParameter(session.editor(), nullptr,
                                              e2e::Text(L"Technique", L"Pass")),
                  S_OK);
        ASSERT_EQ(session.Initialize(), S_OK);
        ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1),
                                 input.get(), nullptr, output.get()),
                  S_OK);
        EXPECT_EQ(LargestDifference(e2e::Read(output.get()), pixels), 0u);
    }
};

// The DLL's folder is the folder of Quorvel.dll, not of the program that loads it.
TEST_F(CopiedServer, EffectBesideTheDllIsFound) {
    const std::wstring folder = m_folder / L"server";
    ASSERT_TRUE(CopyServerTo(folder));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\beside-dll.fx", PassThroughEffect()));
    ExpectPassThrough(folder, L"beside-dll.fx");
}

// A DLL path that fills the 260-character buffer is cut off: its folder has
// nothing, and the host's shared folder is still searched.
TEST_F(CopiedServer, CutOffDllPathStillSearchesTheSharedFolder) {
    std::wstring folder = m_folder.path();
    const std::wstring dll = L"\\Quorvel.dll";
    while (folder.size() + dll.size() < MAX_PATH + 2) {
        const size_t room = MAX_PATH + 2 - folder.size() - dll.size();
        folder += L"\\" + std::wstring(room > 101 ? 100 : (room > 1 ? room - 1 : 1), L'd');
    }
    ASSERT_TRUE(CopyServerTo(folder));
    const std::wstring name = L"quorvel-e2e-cutoff.fx";
    const std::wstring effect = SharedFolder() + L"\\" + name;
    const RemovedAtEnd cleanup{effect};
    ASSERT_TRUE(WriteFileBytes(effect, PassThroughEffect()));
    ExpectPassThrough(folder, name);
}

// An effect name the code page cannot spell that needs the in-memory compile
// (its include is only in the shared folder) compiles that file or fails
// cleanly; its best-fit neighbour "Auni.fx" is never loaded.
TEST_F(EndToEnd, UnspellableNameNeverLoadsAnotherFile) {
    const std::wstring folder = SharedFolder() + L"\\quorvel-e2e-uni";
    const RemovedAtEnd cleanup{folder};
    ASSERT_TRUE(WriteFileBytes(folder + L"\\pass-technique.fxh", kPassThroughTechnique));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\nothing.fxh", "// only needs the shared folder\n"));
    const std::string includer =
        std::string(kInputDeclaration) + "#include \"quorvel-e2e-uni\\pass-technique.fxh\"\n";
    // The neighbour draws a constant colour, so loading it shows.
    const std::string neighbour = std::string(kInputDeclaration) + R"(
technique Pass
{
    pass P0
    {
        PixelShader = asm
        {
            ps_2_0
            def c0, 1, 0, 0, 1
            mov oC0, c0
        };
    }
}
#include "quorvel-e2e-uni\nothing.fxh"
)";
    WriteEffect(L"Auni.fx", neighbour);
    WriteEffect(L"a.fx", neighbour);
    for (const std::wstring name : {L"\u0100uni.fx", L"sub\\\uFF0E\uFF0E\uFF3Ca.fx"}) {
        const std::wstring effect = WriteEffect(name, includer);
        const UINT w = 48, h = 32;
        const std::vector<DWORD> pixels = e2e::Pattern(w, h, 5);
        ComPtr<IDirect3DTexture9> input, output;
        ASSERT_EQ(e2e::Upload(pixels, w, h, input.put()), S_OK);
        ASSERT_EQ(e2e::Target(w, h, output.put()), S_OK);
        Session session;
        const HRESULT hr = e2e::Start(session, false, effect, L"Pass");
        if (FAILED(hr)) {
            EXPECT_EQ(hr, E_FAIL);
            continue;
        }
        ASSERT_EQ(session.Render(quorvelrender::TickTime(0), quorvelrender::TickTime(1),
                                 input.get(), nullptr, output.get()),
                  S_OK);
        EXPECT_EQ(LargestDifference(e2e::Read(output.get()), pixels), 0u);
    }
}

} // namespace
