// HLSL shaders of every profile compiled and run by the interpreter: vertex
// shaders with their matrices in D3DX's register layouts and the read ports
// of vertex shaders, pixel shaders reading several inputs by semantic.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/HlslMain.h"
#include "host/fx/FxShaderCheck.h"
#include "tests/compiler/ShaderInterpreter.h"

namespace {

using qc_test::Vec4;
using Matrix = std::array<Vec4, 4>; // rows

const Matrix kM = {{{1, 2, 3, 4}, {-5, 6, 7, 8}, {9, -10, 11, 12}, {13, 14, -15, 16}}};
const Vec4 kP = {0.5f, -1, 2, 1};
const Vec4 kQ = {0.25f, 0.75f, -3, 0.5f};
const Vec4 kScale = {2, 0.5f, 0.125f, 0.625f};
const Vec4 kOffset = {-1, 1, 0.25f, 0};

Vec4 RowTimes(const Vec4& v, const Matrix& m) {
    Vec4 r{};
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            r[j] += v[i] * m[i][j];
    return r;
}

Vec4 TimesColumn(const Matrix& m, const Vec4& v) {
    Vec4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r[i] += m[i][j] * v[j];
    return r;
}

float Clamp01(float x) { return std::fmin(std::fmax(x, 0.0f), 1.0f); }

const char kVertexSource[] = R"(
MATRIX M;
float4 Scale;
float4 Offset;
struct Out { float4 position : POSITION; float4 colour : COLOR0; float2 uv : TEXCOORD1; };
Out Make(float4 position, float4 colour, float2 uv) {
    Out o;
    o.position = position;
    o.colour = colour;
    o.uv = uv;
    return o;
}
Out RowTimesM(float4 p : POSITION) { return Make(mul(p, M), p, p.xy); }
Out MTimesColumn(float4 p : POSITION) { return Make(mul(M, p), p, p.zw); }
Out Rows(float4 p : POSITION) { return Make(M[1] + M[2][3], M[0], float2(M[3].y, M[1][0])); }
Out RowsInLoop(float4 p : POSITION) {
    float4 s = 0;
    for (int i = 0; i < 4; ++i)
        s += M[i] * p[i];
    return Make(s, p, p.xy);
}
Out Ports(float4 p : POSITION, float4 q : NORMAL, float2 uv : TEXCOORD0) {
    return Make(p * Scale + Offset, saturate(p + q), uv.x > 0.5 ? uv.yx : Scale.zw);
}
)";

struct VertexCase {
    const char* name;
    const char* matrix; // the declaration of M
    const char* entry;
    Vec4 uv;
    Vec4 position, colour, texcoord1; // expected
};

const VertexCase kVertexCases[] = {
    {"p times a column_major matrix",
     "float4x4",
     "RowTimesM",
     {},
     RowTimes(kP, kM),
     kP,
     {kP[0], kP[1]}},
    {"p times a row_major matrix",
     "row_major float4x4",
     "RowTimesM",
     {},
     RowTimes(kP, kM),
     kP,
     {kP[0], kP[1]}},
    {"a column_major matrix times p",
     "float4x4",
     "MTimesColumn",
     {},
     TimesColumn(kM, kP),
     kP,
     {kP[2], kP[3]}},
    {"a row_major matrix times p",
     "row_major float4x4",
     "MTimesColumn",
     {},
     TimesColumn(kM, kP),
     kP,
     {kP[2], kP[3]}},
    // Rows and elements of M by index, as HLSL numbers them in either layout.
    {"rows of a column_major matrix",
     "float4x4",
     "Rows",
     {},
     {kM[1][0] + kM[2][3], kM[1][1] + kM[2][3], kM[1][2] + kM[2][3], kM[1][3] + kM[2][3]},
     kM[0],
     {kM[3][1], kM[1][0]}},
    {"rows of a row_major matrix",
     "row_major float4x4",
     "Rows",
     {},
     {kM[1][0] + kM[2][3], kM[1][1] + kM[2][3], kM[1][2] + kM[2][3], kM[1][3] + kM[2][3]},
     kM[0],
     {kM[3][1], kM[1][0]}},
    {"rows of a column_major matrix indexed in a loop",
     "float4x4",
     "RowsInLoop",
     {},
     RowTimes(kP, kM),
     kP,
     {kP[0], kP[1]}},
    // Two constants, two inputs, a saturate and a choice in one shader.
    {"read ports, first choice",
     "float4x4",
     "Ports",
     {0.75f, 0.25f},
     {kP[0] * kScale[0] + kOffset[0], kP[1] * kScale[1] + kOffset[1],
      kP[2] * kScale[2] + kOffset[2], kP[3] * kScale[3] + kOffset[3]},
     {Clamp01(kP[0] + kQ[0]), Clamp01(kP[1] + kQ[1]), Clamp01(kP[2] + kQ[2]),
      Clamp01(kP[3] + kQ[3])},
     {0.25f, 0.75f}},
    {"read ports, second choice",
     "float4x4",
     "Ports",
     {0.25f, 0.75f},
     {kP[0] * kScale[0] + kOffset[0], kP[1] * kScale[1] + kOffset[1],
      kP[2] * kScale[2] + kOffset[2], kP[3] * kScale[3] + kOffset[3]},
     {Clamp01(kP[0] + kQ[0]), Clamp01(kP[1] + kQ[1]), Clamp01(kP[2] + kQ[2]),
      Clamp01(kP[3] + kQ[3])},
     {kScale[2], kScale[3]}},
};

::testing::AssertionResult Near(const Vec4& actual, const Vec4& expected, int width) {
    for (int k = 0; k < width; ++k) {
        if (!(std::fabs(actual[k] - expected[k]) <= 1e-5f * (1 + std::fabs(expected[k]))))
            return ::testing::AssertionFailure()
                   << "component " << k << " is " << actual[k] << ", expected " << expected[k];
    }
    return ::testing::AssertionSuccess();
}

class HlslVertexTest
    : public ::testing::TestWithParam<std::tuple<VertexCase, const char* /* profile */>> {};

TEST_P(HlslVertexTest, ComputesWhatTheSourceSays) {
    const VertexCase& c = std::get<0>(GetParam());
    const char* profile = std::get<1>(GetParam());
    std::string source = kVertexSource;
    source.replace(source.find("MATRIX"), 6, c.matrix);
    const bool rowMajor = std::string(c.matrix).find("row_major") != std::string::npos;
    qc::CompiledHlslShader shader;
    try {
        shader = qc::CompileHlslShader(source, c.entry, profile, {});
    } catch (const qc::CompileError& e) {
        FAIL() << e.what();
    }
    fx::ShaderFault fault;
    ASSERT_TRUE(fx::CheckShader(shader.tokens, fault)) << fault.code << " " << fault.text << "\n"
                                                       << shader.text;
    // The globals as D3DX sets them: a column_major matrix a column a
    // register, a row_major one a row a register.
    qc_test::ShaderInputs in;
    in.constants.assign(256, Vec4{});
    for (const qc::HlslConstant& k : shader.constants) {
        if (k.name == "M") {
            for (int r = 0; r < 4; ++r)
                for (int i = 0; i < 4; ++i)
                    in.constants[k.index + r][i] = rowMajor ? kM[r][i] : kM[i][r];
        } else {
            in.constants[k.index] = k.name == "Scale" ? kScale : kOffset;
        }
    }
    in.varyings = {{"POSITION0", kP}, {"NORMAL0", kQ}, {"TEXCOORD0", c.uv}};
    const qc_test::ShaderResult r = qc_test::RunShader(shader.tokens, in);
    ASSERT_EQ(r.fault, "") << shader.text;
    ASSERT_EQ(r.outputs.size(), 3u) << shader.text;
    EXPECT_TRUE(Near(r.outputs.at("POSITION0"), c.position, 4)) << shader.text;
    EXPECT_TRUE(Near(r.outputs.at("COLOR0"), c.colour, 4)) << shader.text;
    EXPECT_TRUE(Near(r.outputs.at("TEXCOORD1"), c.texcoord1, 2)) << shader.text;
}

INSTANTIATE_TEST_SUITE_P(Shaders, HlslVertexTest,
                         ::testing::Combine(::testing::ValuesIn(kVertexCases),
                                            ::testing::Values("vs_2_0", "vs_3_0")),
                         [](const auto& info) {
                             std::string name = std::string(std::get<0>(info.param).name) + "_" +
                                                std::get<1>(info.param);
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

// A pixel shader reading three inputs, two of them through a structure, two
// of them asking for centroid sampling: ps_2_0 has one read port for t# and
// one for v#, ps_3_0 takes them as v#.
class HlslPixelInputTest : public ::testing::TestWithParam<const char*> {};

TEST_P(HlslPixelInputTest, ReadsEachInputBySemantic) {
    const char* source = R"(
sampler2D S;
struct In { float2 second : TEXCOORD1_centroid; float4 colour : COLOR0; };
float4 Shade(float2 first : TEXCOORD0_CENTROID, In i) : COLOR0 {
    return tex2D(S, first) * i.colour + i.second.xyxy + float4(first, 0, 0);
}
)";
    qc::CompiledHlslShader shader;
    try {
        shader = qc::CompileHlslShader(source, "Shade", GetParam(), {});
    } catch (const qc::CompileError& e) {
        FAIL() << e.what();
    }
    qc_test::ShaderInputs in;
    in.varyings = {{"TEXCOORD0", {0.25f, 0.5f, 0, 0}},
                   {"TEXCOORD1", {0.125f, 0.0625f, 0, 0}},
                   {"COLOR0", {0.5f, 1, 0.25f, 0.75f}}};
    in.sample = [](int, float u, float v) { return Vec4{u, v, 1, 1}; };
    const qc_test::ShaderResult r = qc_test::RunShader(shader.tokens, in);
    ASSERT_EQ(r.fault, "") << shader.text;
    const Vec4 expected = {0.25f * 0.5f + 0.125f + 0.25f, 0.5f + 0.0625f + 0.5f, 0.25f + 0.125f,
                           0.75f + 0.0625f};
    EXPECT_TRUE(Near(r.outputs.at("COLOR0"), expected, 4)) << shader.text;
}

INSTANTIATE_TEST_SUITE_P(Profiles, HlslPixelInputTest, ::testing::Values("ps_2_0", "ps_3_0"));

// Nine reads summed: ps_2_0 counts dependent reads by register, so a read
// into a register that held an earlier read's result would be one order
// deeper. The allocator must keep all nine first-order reads, and the sum
// must still be right.
TEST(HlslDependentReads, NineTapsStayFirstOrderInPs20) {
    const char* source = R"(
sampler2D S;
float2 Step;
float4 Blur(float2 uv : TEXCOORD0) : COLOR0 {
    float4 sum = 0;
    for (int y = -1; y <= 1; y++)
        for (int x = -1; x <= 1; x++)
            sum += tex2D(S, uv + float2(x, y) * Step);
    return sum / 9;
}
)";
    qc::CompiledHlslShader shader;
    try {
        shader = qc::CompileHlslShader(source, "Blur", "ps_2_0", {});
    } catch (const qc::CompileError& e) {
        FAIL() << e.what();
    }
    fx::ShaderFault fault;
    ASSERT_TRUE(fx::CheckShader(shader.tokens, fault)) << fault.code << " " << fault.text << "\n"
                                                       << shader.text;
    qc_test::ShaderInputs in;
    in.constants.assign(32, Vec4{});
    for (const qc::HlslConstant& k : shader.constants)
        if (k.name == "Step")
            in.constants[k.index] = {0.125f, 0.25f, 0, 0};
    in.varyings = {{"TEXCOORD0", {0.5f, 0.5f, 0, 0}}};
    in.sample = [](int, float u, float v) { return Vec4{u * u, v, u * v, 1}; };
    const qc_test::ShaderResult r = qc_test::RunShader(shader.tokens, in);
    ASSERT_EQ(r.fault, "") << shader.text;
    Vec4 want{};
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) {
            const float u = 0.5f + x * 0.125f, v = 0.5f + y * 0.25f;
            const Vec4 t{u * u, v, u * v, 1};
            for (int k = 0; k < 4; ++k)
                want[k] += t[k] / 9;
        }
    EXPECT_TRUE(Near(r.outputs.at("COLOR0"), want, 4)) << shader.text;
}

} // namespace

// A ps_3_0 loop too long to unroll within the profile's 512 slots, which
// stops early on what it reads: it runs as a loop, and stops where the
// source says.
TEST(HlslLoopTest, LongLoopRunsAsALoopInPs30) {
    const char* source = R"(
sampler2D S;
float Limit;
float4 Gather(float2 uv : TEXCOORD0) : COLOR0 {
    float4 sum = 0;
    float2 p = uv;
    float w = 1;
    for (int i = 0; i < 120; i++) {
        sum += tex2D(S, p) * w;
        w *= 0.95;
        p = p * 0.98 + float2(0.01, 0.02);
        if (sum.w > Limit)
            break;
    }
    return sum;
}
)";
    qc::CompiledHlslShader shader;
    try {
        shader = qc::CompileHlslShader(source, "Gather", "ps_3_0", {});
    } catch (const qc::CompileError& e) {
        FAIL() << e.what();
    }
    fx::ShaderFault fault;
    ASSERT_TRUE(fx::CheckShader(shader.tokens, fault)) << fault.code << " " << fault.text;
    for (const float limit : {2.5f, 100.0f}) {
        qc_test::ShaderInputs in;
        in.constants.assign(256, Vec4{});
        for (const qc::HlslConstant& k : shader.constants)
            if (k.name == "Limit")
                in.constants[k.index] = {limit, 0, 0, 0};
        in.varyings = {{"TEXCOORD0", {0.25f, 0.5f, 0, 0}}};
        in.sample = [](int, float u, float v) { return Vec4{u, v, u * v, 1}; };
        const qc_test::ShaderResult r = qc_test::RunShader(shader.tokens, in);
        ASSERT_EQ(r.fault, "") << shader.text;
        Vec4 sum{};
        float u = 0.25f, v = 0.5f, w = 1;
        for (int i = 0; i < 120; ++i) {
            const Vec4 c = {u, v, u * v, 1};
            for (int k = 0; k < 4; ++k)
                sum[k] += c[k] * w;
            w *= 0.95f;
            u = u * 0.98f + 0.01f;
            v = v * 0.98f + 0.02f;
            if (sum[3] > limit)
                break;
        }
        EXPECT_TRUE(Near(r.outputs.at("COLOR0"), sum, 4)) << "Limit " << limit << "\n"
                                                          << shader.text;
    }
}
