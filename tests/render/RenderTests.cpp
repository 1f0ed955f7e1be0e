// Frame rendering over the fake device, effect, host frames and store.

#include "render/ColorText.h"
#include "render/FrameAccess.h"
#include "tests/render/RenderScene.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>

#include <cstring>

using doubles::Call;
using doubles::CallLog;
using doubles::D3DXStandIn;
using renderscene::Frames;
using renderscene::Scene;
using renderscene::Ticks;

namespace {

constexpr HRESULT kInjected = static_cast<HRESULT>(0x8BAD0001);
constexpr float k = 0.003921569f; // 1/255 in single precision

std::uintptr_t Ptr(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
std::uintptr_t TextureArg(IDirect3DTexture9* texture) {
    return Ptr(static_cast<IDirect3DBaseTexture9*>(texture));
}
std::vector<Call> Calls(const std::string& name) { return CallLog::Get().Named(name); }
size_t Count(const std::string& name) { return CallLog::Get().Count(name); }
size_t Succeeded(const std::string& name) {
    size_t n = 0;
    for (const Call& call : CallLog::Get().calls())
        n += call.name == name && SUCCEEDED(call.injected);
    return n;
}
// The effect call that set the parameter with this semantic, if any.
std::vector<Call> SetsOf(const std::string& semantic) {
    std::vector<Call> found;
    for (const Call& call : CallLog::Get().calls())
        if (call.text == semantic && call.name != "ID3DXEffect::GetParameterBySemantic")
            found.push_back(call);
    return found;
}

struct GridVertex {
    float x, y, z;
    DWORD diffuse;
    float u, v;
};
std::vector<GridVertex> Vertices(doubles::FakeVertexBuffer* buffer) {
    std::vector<GridVertex> vertices(buffer->memory().size() / sizeof(GridVertex));
    std::memcpy(vertices.data(), buffer->memory().data(), vertices.size() * sizeof(GridVertex));
    return vertices;
}
uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof(bits));
    return bits;
}

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doubles::ResetAll();
        m_live = doubles::LiveFakes();
    }
    void TearDown() override {
        doubles::ResetAll();
        EXPECT_EQ(doubles::LiveFakes(), m_live);
    }
    long m_live = 0;
};

TEST_F(RenderTest, RefusedBeforeAnyCall) {
    Scene scene;
    CallLog::Get().Reset();
    IUnknown* host = scene.host.get();
    IUnknown* out = scene.output.get();
    IUnknown* none[2] = {nullptr, nullptr};
    IUnknown* one[2] = {scene.input0.get(), nullptr};
    IUnknown* two[2] = {scene.input0.get(), scene.input1.get()};
    const MediaTime plain = Ticks(1);
    const MediaTime noRate = Frames(30, 1001, 0, 0);
    const struct {
        IUnknown* device;
        const MediaTime* position;
        MediaTime duration;
        IUnknown** inputs;
        int count;
        IUnknown* output;
        HRESULT hr;
    } cases[] = {
        {nullptr, &plain, plain, one, 1, out, E_POINTER},
        {host, &plain, plain, nullptr, 1, out, E_POINTER},
        {host, &plain, plain, none, 1, out, E_POINTER},
        {host, &plain, plain, one, 2, out, E_POINTER},
        {host, &plain, plain, one, 3, out, E_POINTER},
        {host, &plain, plain, one, 1, nullptr, E_POINTER},
        {host, nullptr, plain, one, 1, out, E_POINTER},
        // A flagged time without a denominator has no tick count.
        {host, &noRate, plain, two, 2, out, E_INVALIDARG},
        {host, &plain, noRate, two, 2, out, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            scene.shader.Render(c.device, c.position, c.duration, c.inputs, c.count, c.output),
            c.hr);
        EXPECT_EQ(CallLog::Get().calls().size(), 0u) << CallLog::Get().Trace();
    }
    EXPECT_TRUE(scene.shader.m_bFirstFrame);

    // Without a completed Initialize there is no effect to draw with.
    renderscene::TestShader bare;
    bare.m_spParameterStore.copy_from(scene.store.get());
    EXPECT_EQ(bare.Render(host, &plain, plain, one, 1, out),
              HRESULT_FROM_WIN32(ERROR_INVALID_STATE));
    scene.shader.m_spIndexBuffer = nullptr;
    EXPECT_EQ(scene.Render(), HRESULT_FROM_WIN32(ERROR_INVALID_STATE));
    EXPECT_EQ(CallLog::Get().calls().size(), 0u) << CallLog::Get().Trace();
}

TEST_F(RenderTest, FramesThatAreNoSurfaceOrNoTextureLevelFailCleanly) {
    Scene scene;
    // An output frame whose surface is some other object: refused by the
    // query, before any surface method is called through it.
    auto stranger = doubles::Make<doubles::FakeMediaDevice>(scene.device.get());
    auto odd = doubles::Make<doubles::FakeMediaFrame>(static_cast<IMediaDevice*>(stranger.get()));
    const auto before = scene.Counts();
    const ULONG strangerBefore = stranger->refs();
    std::swap(scene.output, odd);
    EXPECT_EQ(scene.Render(), E_NOINTERFACE);
    std::swap(scene.output, odd);
    // An input whose surface is not a level of a texture fails at GetContainer.
    auto loose = doubles::Make<doubles::FakeSurface>(64, 64);
    auto looseFrame = doubles::Make<doubles::FakeMediaFrame>(loose.get());
    std::swap(scene.input0, looseFrame);
    EXPECT_EQ(scene.Render(), E_NOINTERFACE);
    std::swap(scene.input0, looseFrame);
    EXPECT_EQ(loose->refs(), 2u); // ours and the frame's
    EXPECT_EQ(stranger->refs(), strangerBefore);
    EXPECT_EQ(scene.Counts(), before);
    EXPECT_TRUE(scene.shader.m_bFirstFrame);
    EXPECT_EQ(scene.Render(), S_OK);

    IDirect3DSurface9* surface = reinterpret_cast<IDirect3DSurface9*>(1);
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
    RECT rect = {};
    EXPECT_EQ(GetFrameSurface(odd.get(), &surface, &rect), E_NOINTERFACE);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(GetFrameTexture(looseFrame.get(), &texture, &rect), E_NOINTERFACE);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(GetFrameSurface(nullptr, &surface, &rect), E_POINTER);
    EXPECT_EQ(GetFrameTexture(scene.input0.get(), nullptr, &rect), E_POINTER);
    ASSERT_EQ(GetFrameTexture(scene.input0.get(), &texture, &rect), S_OK);
    EXPECT_EQ(texture, static_cast<IDirect3DTexture9*>(scene.texture0.get()));
    const RECT expected = {0, 0, 720, 480};
    EXPECT_TRUE(EqualRect(&rect, &expected));
    texture->Release();
}

TEST_F(RenderTest, RefusedAfterAnInitializeWithoutEffect) {
    {
        Scene scene;
        ASSERT_EQ(scene.Render(), S_OK);
        ASSERT_EQ(scene.shader.Initialize(nullptr), S_OK);
        CallLog::Get().Reset();
        EXPECT_EQ(scene.Render(), HRESULT_FROM_WIN32(ERROR_INVALID_STATE));
        EXPECT_EQ(CallLog::Get().calls().size(), 0u) << CallLog::Get().Trace();
    }
    {
        // No effect file named: Initialize fails and takes the old effect with it.
        Scene scene;
        ASSERT_EQ(scene.Render(), S_OK);
        ASSERT_TRUE(FAILED(scene.shader.Initialize(scene.host.get())));
        CallLog::Get().Reset();
        EXPECT_EQ(scene.Render(), HRESULT_FROM_WIN32(ERROR_INVALID_STATE));
        EXPECT_EQ(Count("IDirect3DDevice9::BeginScene"), 0u) << CallLog::Get().Trace();
    }
}

TEST_F(RenderTest, OneInputOnBothSamplersAndEveryPassDrawn) {
    Scene scene;
    scene.DeclareInputTextures();
    scene.effect->passes = 2;
    const ULONG texture0Before = scene.texture0->refs();
    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK) << CallLog::Get().Trace();

    const auto samplers = Calls("IDirect3DDevice9::SetTexture");
    ASSERT_EQ(samplers.size(), 2u);
    EXPECT_THAT(samplers[0].args, ::testing::ElementsAre(0, TextureArg(scene.texture0.get())));
    EXPECT_THAT(samplers[1].args, ::testing::ElementsAre(1, TextureArg(scene.texture0.get())));
    const auto effectTextures = Calls("ID3DXEffect::SetTexture");
    ASSERT_EQ(effectTextures.size(), 2u);
    EXPECT_EQ(effectTextures[0].text, "InputTexture0");
    EXPECT_EQ(effectTextures[0].args[1], TextureArg(scene.texture0.get()));
    EXPECT_EQ(effectTextures[1].text, "InputTexture1");
    EXPECT_EQ(effectTextures[1].args[1], 0u);

    const auto draws = Calls("IDirect3DDevice9::DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 2u);
    for (const Call& draw : draws)
        EXPECT_THAT(draw.args, ::testing::ElementsAre(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    std::vector<std::string> sequence;
    for (const Call& call : CallLog::Get().calls())
        if (call.name.find("Pass") != std::string::npos ||
            call.name.find("Scene") != std::string::npos ||
            call.name.find("Draw") != std::string::npos || call.name == "ID3DXEffect::Begin" ||
            call.name == "ID3DXEffect::End")
            sequence.push_back(call.name);
    EXPECT_THAT(sequence,
                ::testing::ElementsAre(
                    "IDirect3DDevice9::BeginScene", "ID3DXEffect::Begin", "ID3DXEffect::BeginPass",
                    "IDirect3DDevice9::DrawIndexedPrimitive", "ID3DXEffect::EndPass",
                    "ID3DXEffect::BeginPass", "IDirect3DDevice9::DrawIndexedPrimitive",
                    "ID3DXEffect::EndPass", "ID3DXEffect::End", "IDirect3DDevice9::EndScene"));
    const auto stream = Calls("IDirect3DDevice9::SetStreamSource");
    ASSERT_EQ(stream.size(), 1u);
    EXPECT_THAT(stream[0].args,
                ::testing::ElementsAre(0, Ptr(scene.shader.m_spVertexBuffer.get()), 0, 24));
    EXPECT_EQ(Calls("IDirect3DDevice9::SetFVF")[0].args[0], 0x142u);
    EXPECT_EQ(Calls("IDirect3DDevice9::SetIndices")[0].args[0],
              Ptr(scene.shader.m_spIndexBuffer.get()));
    EXPECT_THAT(
        Calls("IDirect3DDevice9::SetRenderTarget")[0].args,
        ::testing::ElementsAre(0, Ptr(static_cast<IDirect3DSurface9*>(scene.outputSurface.get()))));

    EXPECT_FALSE(scene.shader.m_bFirstFrame);
    EXPECT_EQ(scene.shader.m_spTextures[0].get(), scene.texture0.get());
    EXPECT_EQ(scene.shader.m_spTextures[1].get(), nullptr);
    // The entry for sampler 0 holds the one reference the frame leaves behind.
    EXPECT_EQ(scene.texture0->refs(), texture0Before + 1);
}

TEST_F(RenderTest, InputCounts) {
    for (int count : {2, 3}) {
        Scene scene;
        scene.DeclareInputTextures();
        scene.inputCount = count;
        CallLog::Get().Reset();
        ASSERT_EQ(scene.Render(), S_OK) << count;
        IDirect3DTexture9* second = count == 2 ? scene.texture1.get() : scene.texture0.get();
        EXPECT_EQ(Calls("IDirect3DDevice9::SetTexture")[1].args[1], TextureArg(second)) << count;
        EXPECT_EQ(Calls("ID3DXEffect::SetTexture")[1].args[1],
                  count == 2 ? TextureArg(scene.texture1.get()) : 0u);
        // Three inputs need inputs[1] present but read only inputs[0].
        size_t secondFrameReads = 0;
        for (const Call& call : Calls("IMediaFrame::GetSurface"))
            secondFrameReads += call.object == static_cast<IMediaFrame*>(scene.input1.get());
        EXPECT_EQ(secondFrameReads, count == 2 ? 1u : 0u);
        EXPECT_EQ(scene.shader.m_spTextures[1].get(), count == 2 ? scene.texture1.get() : nullptr);
    }
}

TEST_F(RenderTest, VertexGridBitForBit) {
    {
        Scene scene(640, 480);
        ASSERT_EQ(scene.Render(), S_OK);
        ASSERT_EQ(scene.device->vertexBuffers.size(), 1u);
        auto* buffer = scene.device->vertexBuffers[0].get();
        EXPECT_EQ(buffer->length(), 96u);
        EXPECT_EQ(buffer->usage(), static_cast<DWORD>(D3DUSAGE_WRITEONLY));
        EXPECT_EQ(buffer->fvf(), 0x142u);
        EXPECT_EQ(buffer->pool(), D3DPOOL_DEFAULT);
        EXPECT_EQ(buffer->locks(), 1);
        EXPECT_FALSE(buffer->locked());
        const float hu = 0.00078125f;
        const float hv = 0.5f / 480.0f;
        const GridVertex expected[] = {{-1, 1, 0, 0xFFFFFFFF, hu, hv},
                                       {1, 1, 0, 0xFFFFFFFF, 1.0f + hu, hv},
                                       {-1, -1, 0, 0xFFFFFFFF, hu, 1.0f + hv},
                                       {1, -1, 0, 0xFFFFFFFF, 1.0f + hu, 1.0f + hv}};
        const auto vertices = Vertices(buffer);
        ASSERT_EQ(vertices.size(), 4u);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(std::memcmp(&vertices[i], &expected[i], sizeof(GridVertex)), 0) << i;
        EXPECT_EQ(Bits(vertices[3].v), Bits(1.0010417f));
    }
    {
        // 720 wide, three columns: the span (hu + 1) - hu is 0.99999994 in single precision.
        Scene scene(720, 480, 3, 2);
        CallLog::Get().Reset();
        ASSERT_EQ(scene.Render(), S_OK);
        const auto vertices = Vertices(scene.device->vertexBuffers[0].get());
        ASSERT_EQ(vertices.size(), 6u);
        const float hu = 0.5f / 720.0f;
        const float du = 0.49999997f;
        EXPECT_EQ(Bits(du), 0x3EFFFFFFu);
        EXPECT_EQ(Bits(vertices[1].u), Bits(du + hu));
        EXPECT_EQ(Bits(vertices[2].u), Bits(2.0f * du + hu));
        EXPECT_NE(Bits(vertices[1].u), Bits(0.5f + hu));
        const float xs[] = {-1, 0, 1, -1, 0, 1};
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(vertices[i].x, xs[i]) << i;
            EXPECT_EQ(vertices[i].y, i < 3 ? 1.0f : -1.0f) << i;
            EXPECT_EQ(vertices[i].z, 0.0f);
            EXPECT_EQ(vertices[i].diffuse, 0xFFFFFFFFu);
        }
        EXPECT_THAT(Calls("IDirect3DDevice9::DrawIndexedPrimitive")[0].args,
                    ::testing::ElementsAre(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 4));
    }
}

TEST_F(RenderTest, VertexGridRebuiltOnlyWhenOutputOrGridChanges) {
    Scene scene(640, 480);
    ASSERT_EQ(scene.Render(), S_OK);
    ASSERT_EQ(scene.Render(), S_OK);
    EXPECT_EQ(scene.device->vertexBuffers.size(), 1u);

    scene.SetOutput(720, 576);
    ASSERT_EQ(scene.Render(), S_OK);
    ASSERT_EQ(scene.device->vertexBuffers.size(), 2u);
    EXPECT_EQ(scene.shader.m_spVertexBuffer.get(), scene.device->vertexBuffers[1].get());
    const RECT expected = {0, 0, 720, 576};
    EXPECT_TRUE(EqualRect(&scene.shader.m_rcOutput, &expected));
    // The old buffer is released; only the device's reference is left.
    EXPECT_EQ(scene.device->vertexBuffers[0]->refs(), 1u);

    // A new grid size from Initialize rebuilds the vertex grid for the same output.
    scene.shader.m_nVerticesX = 4;
    scene.shader.m_nVerticesY = 3;
    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK);
    ASSERT_EQ(scene.device->vertexBuffers.size(), 3u);
    EXPECT_EQ(scene.device->vertexBuffers[2]->length(), 12u * 24u);
    EXPECT_THAT(Calls("IDirect3DDevice9::DrawIndexedPrimitive")[0].args,
                ::testing::ElementsAre(D3DPT_TRIANGLELIST, 0, 0, 12, 0, 12));

    // A build whose lock fails is retried by the next frame, same output or not.
    CallLog::Get().FailNthOf("IDirect3DVertexBuffer9::Lock", 1, kInjected);
    scene.SetOutput(800, 600);
    EXPECT_EQ(scene.Render(), kInjected);
    EXPECT_TRUE(EqualRect(&scene.shader.m_rcOutput, &expected));
    scene.SetOutput(720, 576);
    ASSERT_EQ(scene.Render(), S_OK);
    EXPECT_EQ(scene.device->vertexBuffers.size(), 5u);

    // A grid beyond 16-bit indices is refused before any buffer is made.
    scene.shader.m_nVerticesX = 257;
    scene.shader.m_nVerticesY = 256;
    EXPECT_EQ(scene.Render(), E_INVALIDARG);
    EXPECT_EQ(scene.device->vertexBuffers.size(), 5u);
}

TEST_F(RenderTest, FileTexturesLoadOnceAndSurviveAFailedFirstFrame) {
    Scene scene;
    scene.DeclareInputTextures();
    scene.shader.m_strTextureFile[2] = L"C:\\fx\\mask.png";
    scene.shader.m_strTextureFile[5] = L"C:\\fx\\noise.png";
    D3DXStandIn::Get().textures.push_back({S_OK, 512, 256});
    CallLog::Get().FailNthOf("D3DXCreateTextureFromFileExW", 2, kInjected);
    EXPECT_EQ(scene.Render(), kInjected);
    EXPECT_TRUE(scene.shader.m_bFirstFrame);
    ASSERT_NE(scene.shader.m_spTextures[2].get(), nullptr);
    EXPECT_EQ(scene.shader.m_spTextures[5].get(), nullptr);
    const auto first = Calls("D3DXCreateTextureFromFileExW");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].wtext, L"C:\\fx\\mask.png");
    EXPECT_THAT(first[0].args,
                ::testing::ElementsAre(Ptr(static_cast<IDirect3DDevice9*>(scene.device.get())),
                                       D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                       D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, 0,
                                       ::testing::Ne(0u)));
    // The failed frame put back what sampler 0's entry held.
    EXPECT_EQ(scene.shader.m_spTextures[0].get(), nullptr);

    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK);
    const auto second = Calls("D3DXCreateTextureFromFileExW");
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].wtext, L"C:\\fx\\noise.png");
    const auto samplers = Calls("IDirect3DDevice9::SetTexture");
    ASSERT_EQ(samplers.size(), 4u);
    EXPECT_EQ(samplers[2].args[0], 2u);
    EXPECT_EQ(samplers[2].args[1], TextureArg(scene.shader.m_spTextures[2].get()));
    EXPECT_EQ(samplers[3].args[0], 5u);
    EXPECT_EQ(SetsOf("InputTexture2").size(), 1u);
    EXPECT_EQ(SetsOf("InputTexture5").size(), 1u);
    EXPECT_EQ(SetsOf("InputTexture3").size(), 0u);

    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK);
    EXPECT_EQ(Count("D3DXCreateTextureFromFileExW"), 0u);
    EXPECT_EQ(Count("IDirect3DDevice9::SetTexture"), 2u);
    EXPECT_EQ(SetsOf("InputTexture2").size(), 1u);
}

TEST_F(RenderTest, FirstFrameSemanticsOnceAndFrameSemanticsEveryFrame) {
    Scene scene(720, 480);
    scene.DeclareStaticSemantics();
    scene.shader.m_strTextureFile[2] = L"C:\\fx\\wide.png";
    D3DXStandIn::Get().textures.push_back({S_OK, 512, 256});
    scene.position = Frames(30, 1001, 30, 0);
    scene.duration = Ticks(10010000);
    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK);

    const std::vector<float> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (const char* matrix : {"World", "View", "Projection", "WorldView", "WorldViewProjection"}) {
        const auto sets = SetsOf(matrix);
        ASSERT_EQ(sets.size(), 1u) << matrix;
        EXPECT_EQ(sets[0].name, "ID3DXEffect::SetMatrix");
        EXPECT_EQ(sets[0].floats, identity) << matrix;
    }
    const struct {
        const char* semantic;
        std::vector<float> values;
    } expected[] = {
        {"Duration", {10010000.0f}},
        {"Time", {1.0f}},
        {"OutputSize", {720, 480, 0, 0}},
        {"InputSize", {720, 480, 0, 0}},
        {"PixelSize", {1.0f / 720.0f, 1.0f / 480.0f, 0, 0}},
        {"TextureAspect0", {1.5f}},
        {"TextureAspect1", {0.0f}},
        {"TextureAspect2", {2.0f}},
        {"TextureAspect3", {0.0f}},
        {"TextureAspect7", {0.0f}},
    };
    for (const auto& e : expected) {
        const auto sets = SetsOf(e.semantic);
        ASSERT_EQ(sets.size(), 1u) << e.semantic;
        EXPECT_EQ(sets[0].floats, e.values) << e.semantic;
    }

    scene.position = Ticks(2502500);
    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK);
    EXPECT_EQ(Count("ID3DXEffect::SetMatrix"), 0u);
    EXPECT_EQ(SetsOf("Duration").size(), 0u);
    EXPECT_EQ(SetsOf("PixelSize").size(), 0u);
    EXPECT_EQ(SetsOf("TextureAspect2").size(), 0u);
    ASSERT_EQ(SetsOf("Time").size(), 1u);
    EXPECT_EQ(SetsOf("Time")[0].floats[0], 0.25f);
    EXPECT_EQ(SetsOf("InputSize").size(), 1u);
}

TEST_F(RenderTest, WhatWasOpenedIsClosedAfterAFailure) {
    const struct {
        const char* failing;
        size_t endPasses, ends, endScenes;
    } cases[] = {
        {"IDirect3DDevice9::BeginScene", 0, 0, 0},
        {"ID3DXEffect::Begin", 0, 0, 1},
        {"ID3DXEffect::SetTexture", 0, 1, 1},
        {"ID3DXEffect::BeginPass", 0, 1, 1},
        {"IDirect3DDevice9::DrawIndexedPrimitive", 1, 1, 1},
        {"ID3DXEffect::EndPass", 1, 1, 1},
        {"ID3DXEffect::End", 2, 1, 1},
        {"IDirect3DDevice9::EndScene", 2, 1, 1},
    };
    for (const auto& c : cases) {
        Scene scene;
        scene.effect->passes = 2;
        CallLog::Get().Reset();
        CallLog::Get().FailNthOf(c.failing, 1, kInjected);
        EXPECT_EQ(scene.Render(), kInjected) << c.failing;
        EXPECT_EQ(Count("ID3DXEffect::EndPass"), c.endPasses) << c.failing;
        EXPECT_EQ(Count("ID3DXEffect::End"), c.ends) << c.failing;
        EXPECT_EQ(Count("IDirect3DDevice9::EndScene"), c.endScenes) << c.failing;
        EXPECT_EQ(Count("ID3DXEffect::BeginPass"),
                  Count("ID3DXEffect::EndPass") +
                      (std::string(c.failing) == "ID3DXEffect::BeginPass"))
            << c.failing;
        EXPECT_TRUE(scene.shader.m_bFirstFrame);
        CallLog::Get().Reset();
        EXPECT_EQ(scene.Render(), S_OK) << c.failing;
        EXPECT_EQ(Count("IDirect3DDevice9::DrawIndexedPrimitive"), 2u);
    }
}

// One child of "Semantics", how it is set up, and the effect call it must cause.
struct SemanticCase {
    std::wstring name;
    std::function<void(doubles::FakeParameter*)> value;
    const char* call; // null: the value is dropped
    std::vector<float> floats;
    UINT arg = 0;
};

void SetVector(doubles::FakeParameter* p, std::vector<float> values) {
    static std::vector<std::vector<float>> keep;
    keep.push_back(std::move(values));
    PROPVARIANT v = {};
    v.vt = VT_VECTOR | VT_R4;
    v.caflt.cElems = static_cast<ULONG>(keep.back().size());
    v.caflt.pElems = keep.back().empty() ? nullptr : keep.back().data();
    p->Set(v);
}
void SetBool(doubles::FakeParameter* p, VARIANT_BOOL b) {
    PROPVARIANT v = {};
    v.vt = VT_BOOL;
    v.boolVal = b;
    p->Set(v);
}
auto Text(const wchar_t* text) {
    return [text](doubles::FakeParameter* p) { p->SetString(text); };
}
auto Vector(std::vector<float> values) {
    return [values](doubles::FakeParameter* p) { SetVector(p, values); };
}

TEST_F(RenderTest, SemanticValuesByType) {
    const DWORD face = GetSysColor(COLOR_BTNFACE);
    const std::vector<SemanticCase> cases = {
        {L"Steps", [](auto* p) { p->SetInt(-12); }, "ID3DXEffect::SetInt", {}, UINT(-12)},
        {L"Strength", [](auto* p) { p->SetFloat(0.5f); }, "ID3DXEffect::SetFloat", {0.5f}},
        {L"Enabled",
         [](auto* p) { SetBool(p, VARIANT_TRUE); },
         "ID3DXEffect::SetBool",
         {},
         0xFFFFFFFFu},
        {L"Disabled", [](auto* p) { SetBool(p, VARIANT_FALSE); }, "ID3DXEffect::SetBool", {}, 0},
        {L"V1", Vector({7}), "ID3DXEffect::SetVector", {7, 0, 0, 0}},
        {L"V2", Vector({1, 2}), "ID3DXEffect::SetVector", {1, 2, 0, 0}},
        {L"V3", Vector({1, 2, 3}), "ID3DXEffect::SetVector", {1, 2, 3, 0}},
        {L"V4", Vector({1, 2, 3, 4}), "ID3DXEffect::SetVector", {1, 2, 3, 4}},
        {L"V5", Vector({1, 2, 3, 4, 5}), "ID3DXEffect::SetVector", {1, 0, 0, 0}},
        {L"V0", Vector({}), nullptr, {}},
        {L"TintColor", Text(L"#FF0000"), "ID3DXEffect::SetVector", {1, 0, 0, 1}},
        {L"GlowColor", Text(L"#80FF0000"), "ID3DXEffect::SetVector", {1, 0, 0, 128 * k}},
        {L"EdgeColor", Text(L"0x00FF00"), "ID3DXEffect::SetVector", {0, 1, 0, 1}},
        {L"BorderColor", Text(L"navy"), "ID3DXEffect::SetVector", {0, 0, 128 * k, 1}},
        {L"LineCOLOR", Text(L"16711680"), "ID3DXEffect::SetVector", {1, 0, 0, 0}},
        {L"BadColor", Text(L"#12G456"), "ID3DXEffect::SetVector", {0, 0, 0, 0}},
        {L"GreyColor", Text(L"lightgray"), "ID3DXEffect::SetVector", {0, 0, 0, 0}},
        {L"FaceColor",
         Text(L"ButtonFace"),
         "ID3DXEffect::SetVector",
         {GetRValue(face) * k, GetGValue(face) * k, GetBValue(face) * k, 1}},
        {L"NullColor", [](auto* p) { p->SetNullString(); }, "ID3DXEffect::SetVector", {0, 0, 0, 0}},
        {L"Label", Text(L"red"), nullptr, {}},
        {L"Empty", [](auto* p) { p->SetEmpty(); }, nullptr, {}},
        {L"Undeclared", [](auto* p) { p->SetInt(1); }, nullptr, {}},
        {std::wstring(200, L'N'), [](auto* p) { p->SetInt(1); }, nullptr, {}},
        {L"Unterminated",
         [](auto* p) {
             p->SetInt(1);
             p->nameWithoutTerminator = true;
         },
         nullptr,
         {}},
    };
    Scene scene;
    doubles::FakeParameter* group = scene.store->Parameter(L"Semantics");
    for (const auto& c : cases) {
        c.value(group->AddChild(c.name));
        if (c.name != L"Undeclared")
            scene.effect->Declare(std::string(c.name.begin(), c.name.end()));
    }
    CallLog::Get().Reset();
    ASSERT_EQ(scene.shader.ApplySemanticParameters(0.25f), S_OK) << CallLog::Get().Trace();
    EXPECT_EQ(Count("IParameter::GetName"), cases.size());
    for (const auto& c : cases) {
        const std::string semantic(c.name.begin(), c.name.end());
        const auto sets = SetsOf(semantic);
        if (!c.call) {
            EXPECT_EQ(sets.size(), 0u) << semantic;
            continue;
        }
        ASSERT_EQ(sets.size(), 1u) << semantic;
        EXPECT_EQ(sets[0].name, c.call) << semantic;
        EXPECT_EQ(sets[0].floats, c.floats) << semantic;
        if (sets[0].name == "ID3DXEffect::SetInt" || sets[0].name == "ID3DXEffect::SetBool") {
            EXPECT_EQ(sets[0].args[1], c.arg) << semantic;
        }
    }
    for (const Call& call : Calls("IParameter::GetValue"))
        EXPECT_EQ(call.floats[0], 0.25f);
}

TEST_F(RenderTest, SemanticsGroupAbsentOrMisshaped) {
    {
        Scene scene;
        EXPECT_EQ(scene.shader.ApplySemanticParameters(0), S_OK);
        scene.store->SetMissingButSucceeds(L"Semantics");
        EXPECT_EQ(scene.shader.ApplySemanticParameters(0), S_OK);
    }
    {
        // A plain value where the group should be.
        Scene scene;
        scene.store->Parameter(L"Semantics")->SetInt(3);
        EXPECT_EQ(scene.shader.ApplySemanticParameters(0), E_NOINTERFACE);
        EXPECT_EQ(scene.Render(), E_NOINTERFACE);
        EXPECT_TRUE(scene.shader.m_bFirstFrame);
    }
    {
        // A colour the effect refuses does not fail the frame; other setters do.
        Scene scene;
        scene.AddSemanticsGroup();
        CallLog::Get().FailAll("ID3DXEffect::SetVector", kInjected);
        EXPECT_EQ(scene.shader.ApplySemanticParameters(0), kInjected);
        CallLog::Get().Reset();
        CallLog::Get().FailNthOf("ID3DXEffect::SetVector", 3, kInjected);
        EXPECT_EQ(scene.shader.ApplySemanticParameters(0), S_OK);
        EXPECT_EQ(SetsOf("TintColor")[0].injected, kInjected);
    }
}

// A child's name narrows in the thread's code page with no best fit: a
// look-alike never reaches another semantic ("\u0100mount" is not "Amount"),
// and what the code page spells reaches its own.
TEST_F(RenderTest, SemanticNamesNarrowWithoutBestFit) {
    const LCID saved = ::GetThreadLocale();
    ASSERT_TRUE(
        ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
    const struct {
        const wchar_t* child;
        const char* declared;
        size_t sets;
    } cases[] = {
        {L"\u0100mount", "Amount", 0},
        {L"\uFF21mount", "Amount", 0},
        {L"\u0424\u044D\u0439\u0434", "\xD4\xFD\xE9\xE4", 1},
    };
    for (const auto& c : cases) {
        Scene scene(64, 48);
        scene.store->Parameter(L"Semantics")->AddChild(c.child)->SetFloat(0.5f);
        scene.effect->Declare(c.declared);
        CallLog::Get().Reset();
        EXPECT_EQ(scene.shader.ApplySemanticParameters(0), S_OK) << c.declared;
        EXPECT_EQ(SetsOf(c.declared).size(), c.sets) << c.declared;
    }
    ::SetThreadLocale(saved);
}

// Fails every faultable call of one frame in turn.
void SweepFrame(bool steadyState) {
    // Calls whose failure the frame deliberately ignores.
    const std::vector<std::string> ignored = {"IDirect3DVertexBuffer9::Unlock",
                                              "IDirect3DTexture9::GetLevelDesc",
                                              "IParameterStore::GetParameter"};
    size_t swept = 0;
    for (size_t n = 1;; ++n) {
        doubles::ResetAll();
        Scene scene(720, 480);
        scene.DeclareStaticSemantics();
        scene.DeclareInputTextures();
        scene.AddSemanticsGroup();
        scene.effect->passes = 2;
        scene.inputCount = 2;
        scene.shader.m_strTextureFile[2] = L"C:\\fx\\a.png";
        scene.shader.m_strTextureFile[6] = L"C:\\fx\\b.png";
        if (steadyState) {
            ASSERT_EQ(scene.Render(), S_OK);
        }
        const auto before = scene.Counts();
        const bool firstFrame = scene.shader.m_bFirstFrame;
        CallLog::Get().Reset();
        CallLog::Get().FailNth(n, kInjected);
        const HRESULT hr = scene.Render();
        const Call* injected = CallLog::Get().Injected();
        if (!injected) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        const std::string name = injected->name;
        const bool colour =
            name == "ID3DXEffect::SetVector" && injected->text.find("Color") != std::string::npos;
        if (colour || std::find(ignored.begin(), ignored.end(), name) != ignored.end()) {
            EXPECT_EQ(hr, S_OK) << n << ": " << name;
            continue;
        }
        ++swept;
        EXPECT_EQ(hr, kInjected) << n << ": " << name;
        EXPECT_EQ(scene.Counts(), before) << n << ": " << name;
        EXPECT_EQ(scene.shader.m_bFirstFrame, firstFrame) << n << ": " << name;
        EXPECT_EQ(Succeeded("IDirect3DDevice9::BeginScene"), Count("IDirect3DDevice9::EndScene"))
            << n << ": " << name;
        EXPECT_EQ(Succeeded("ID3DXEffect::Begin"), Count("ID3DXEffect::End")) << n << ": " << name;
        EXPECT_EQ(Succeeded("ID3DXEffect::BeginPass"), Count("ID3DXEffect::EndPass"))
            << n << ": " << name;
        for (const auto& buffer : scene.device->vertexBuffers)
            EXPECT_EQ(buffer->refs(),
                      buffer.get() == scene.shader.m_spVertexBuffer.get() ? 2u : 1u);

        CallLog::Get().Reset();
        EXPECT_EQ(scene.Render(), S_OK) << n << ": " << name << "\n" << CallLog::Get().Trace();
        EXPECT_EQ(Count("IDirect3DDevice9::DrawIndexedPrimitive"), 2u) << n << ": " << name;
        EXPECT_FALSE(scene.shader.m_bFirstFrame);
    }
    EXPECT_GT(swept, steadyState ? 40u : 60u);
}

TEST_F(RenderTest, FaultSweepOverAFirstFrame) { SweepFrame(false); }
TEST_F(RenderTest, FaultSweepOverASteadyStateFrame) { SweepFrame(true); }

// Values that a plausible wrong implementation would get right by accident
// in the tests above: an input of another size than the output, a grid of
// more than two rows, per-frame texture lookups, both forms of the host's
// time and colour bytes where times (1/255) and divided by 255 differ.

TEST_F(RenderTest, InputSizeIsTheInputsAndTheRestTheOutputs) {
    Scene scene(640, 360);
    scene.texture0 = doubles::Make<doubles::FakeTexture>(320, 200);
    scene.input0 = doubles::Make<doubles::FakeMediaFrame>(scene.texture0->surface());
    scene.DeclareStaticSemantics();
    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK);
    const struct {
        const char* semantic;
        std::vector<float> values;
    } expected[] = {
        {"InputSize", {320, 200, 0, 0}},
        {"OutputSize", {640, 360, 0, 0}},
        {"PixelSize", {1.0f / 640.0f, 1.0f / 360.0f, 0, 0}},
        {"TextureAspect0", {1.6f}},
    };
    for (const auto& e : expected) {
        const auto sets = SetsOf(e.semantic);
        ASSERT_EQ(sets.size(), 1u) << e.semantic;
        EXPECT_EQ(sets[0].floats, e.values) << e.semantic;
    }
}

TEST_F(RenderTest, GridVCoordinateOnFourRows) {
    Scene scene(640, 480, 2, 4);
    ASSERT_EQ(scene.Render(), S_OK);
    ASSERT_EQ(scene.device->vertexBuffers.size(), 1u);
    const auto vertices = Vertices(scene.device->vertexBuffers[0].get());
    ASSERT_EQ(vertices.size(), 8u);
    // dv = ((1 + hv) - hv) / 3, each row one dv further down.
    const float hv = 0.5f / 480.0f;
    const float dv = ((1.0f + hv) - hv) / 3.0f;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 2; ++column) {
            const GridVertex& vertex = vertices[static_cast<size_t>(row * 2 + column)];
            EXPECT_EQ(Bits(vertex.v), Bits(static_cast<float>(row) * dv + hv)) << row;
            EXPECT_EQ(vertex.y, 1.0f - static_cast<float>(row) * (2.0f / 3.0f)) << row;
        }
    }
}

// The eight texture handles belong to the frame: looked up again every time.
TEST_F(RenderTest, InputTextureHandlesLookedUpEveryFrame) {
    Scene scene(64, 48);
    scene.DeclareInputTextures();
    for (int frame = 0; frame < 3; ++frame) {
        CallLog::Get().Reset();
        ASSERT_EQ(scene.Render(), S_OK);
        std::vector<std::string> looked;
        for (const Call& call : CallLog::Get().Named("ID3DXEffect::GetParameterBySemantic"))
            looked.push_back(call.text);
        std::vector<std::string> expected;
        for (int slot = 0; slot < 8; ++slot)
            expected.push_back("InputTexture" + std::to_string(slot));
        EXPECT_EQ(looked, expected) << "frame " << frame;
    }
}

// The plain form never adds the offset; the flagged form adds it and reads
// its numerator and denominator as unsigned 16-bit values.
TEST_F(RenderTest, TimeFromBothFormsOfTheHostsTime) {
    const struct {
        const char* what;
        MediaTime position;
        float time;
    } cases[] = {
        {"plain with an offset", {Ticks(30000).word, 30000, 0}, 0.25f},
        {"flagged, denominator 0x8000", Frames(98304, 1, 0x8000, 0), 0.25f},
        {"flagged with an offset", Frames(98304, 1, 0x8000, 30000), 0.5f},
        {"flagged, numerator 0xC000", Frames(2, 0xC000, 0xFFFF, 0),
         static_cast<float>(2LL * 0xC000 * 10000 / 0xFFFF) / 120000.0f},
    };
    for (const auto& c : cases) {
        Scene scene(64, 48);
        scene.DeclareStaticSemantics();
        scene.position = c.position;
        scene.duration = Ticks(120000);
        CallLog::Get().Reset();
        ASSERT_EQ(scene.Render(), S_OK) << c.what;
        const auto sets = SetsOf("Time");
        ASSERT_EQ(sets.size(), 1u) << c.what;
        EXPECT_EQ(sets[0].floats, std::vector<float>{c.time}) << c.what;
    }
}

// Channels are bytes times 0x3B808081 (1/255 rounded); for these bytes that
// differs from dividing by 255.
TEST_F(RenderTest, ColourChannelsAreBytesTimesTheConstant) {
    ASSERT_EQ(Bits(k), 0x3B808081u);
    Scene scene(64, 48);
    scene.store->Parameter(L"Semantics")->AddChild(L"TintColor")->SetString(L"#06C8F003");
    scene.effect->Declare("TintColor");
    CallLog::Get().Reset();
    ASSERT_EQ(scene.Render(), S_OK);
    const auto sets = SetsOf("TintColor");
    ASSERT_EQ(sets.size(), 1u);
    const float bytes[] = {200, 240, 3, 6}; // red, green, blue, alpha
    ASSERT_EQ(sets[0].floats.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Bits(sets[0].floats[i]), Bits(bytes[i] * k)) << i;
        EXPECT_NE(Bits(sets[0].floats[i]), Bits(bytes[i] / 255.0f)) << i;
    }
}

} // namespace
