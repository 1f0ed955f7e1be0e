// Frame values that a plausible wrong implementation would get right by
// accident in the other render tests: an input of another size than the
// output, a grid of more than two rows, per-frame texture lookups, both
// forms of the host's time and colour bytes where ×(1/255) and ÷255 differ.

#include "tests/render/RenderScene.h"
#include "tests/support/TestSupport.h"

#include <cstring>
#include <string>
#include <vector>

using doubles::Call;
using doubles::CallLog;
using renderscene::Frames;
using renderscene::Scene;
using renderscene::Ticks;

namespace {

uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof(bits));
    return bits;
}

std::vector<Call> SetsOf(const std::string& semantic) {
    std::vector<Call> found;
    for (const Call& call : CallLog::Get().calls())
        if (call.text == semantic && call.name != "ID3DXEffect::GetParameterBySemantic")
            found.push_back(call);
    return found;
}

class RenderPinTest : public ::testing::Test {
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

TEST_F(RenderPinTest, InputSizeIsTheInputsAndTheRestTheOutputs) {
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

TEST_F(RenderPinTest, GridVCoordinateOnFourRows) {
    Scene scene(640, 480, 2, 4);
    ASSERT_EQ(scene.Render(), S_OK);
    ASSERT_EQ(scene.device->vertexBuffers.size(), 1u);
    const auto& memory = scene.device->vertexBuffers[0]->memory();
    struct Vertex {
        float x, y, z;
        DWORD diffuse;
        float u, v;
    };
    std::vector<Vertex> vertices(memory.size() / sizeof(Vertex));
    ASSERT_EQ(vertices.size(), 8u);
    std::memcpy(vertices.data(), memory.data(), memory.size());
    // dv = ((1 + hv) - hv) / 3, each row one dv further down.
    const float hv = 0.5f / 480.0f;
    const float dv = ((1.0f + hv) - hv) / 3.0f;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 2; ++column) {
            const Vertex& vertex = vertices[static_cast<size_t>(row * 2 + column)];
            EXPECT_EQ(Bits(vertex.v), Bits(static_cast<float>(row) * dv + hv)) << row;
            EXPECT_EQ(vertex.y, 1.0f - static_cast<float>(row) * (2.0f / 3.0f)) << row;
        }
    }
}

// The eight texture handles belong to the frame: looked up again every time.
TEST_F(RenderPinTest, InputTextureHandlesLookedUpEveryFrame) {
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
TEST_F(RenderPinTest, TimeFromBothFormsOfTheHostsTime) {
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
TEST_F(RenderPinTest, ColourChannelsAreBytesTimesTheConstant) {
    float k;
    const uint32_t kBits = 0x3B808081u;
    std::memcpy(&k, &kBits, sizeof(k));
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
