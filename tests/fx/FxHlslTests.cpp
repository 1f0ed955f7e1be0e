// HLSL effects: compile statements reach the shader compiler through its
// process, and what the compiled shader reads is set from the parameters.
// A stand-in compiler (hlsl/stub-fxc.sh) answers with a fixed shader, which
// tests the framework's side alone; the same cases run through the real
// compiler, found with no configuration from the build tree.

#include "tests/fx/FxTestDevice.h"

#include "tests/support/TestSupport.h"

#include <tuple>

namespace fxtest {
namespace {

using quorvel::ComPtr;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

const std::wstring kStub = Wide(QUORVEL_TEST_SOURCE_DIR "/hlsl/stub-fxc.sh");

// The stub reads Tint (c2) and Input (s1).
const char kDeclarations[] = R"(
texture InputTexture : InputTexture0;
sampler2D Input = sampler_state {
    Texture = <InputTexture>;
    MinFilter = POINT; MagFilter = POINT;
};
float4 Tint < string UIName = "tint"; > = float4(1, 0.5, 0.25, 1);
struct Unused { float4 colour : COLOR0; };
static const float Weights[2] = { 0.25, 0.75 };
float4 Main(float2 uv : TEXCOORD0, uniform float scale = 1) : COLOR0 {
    return tex2D(Input, uv) * Tint * float4(scale, scale, scale, 1);
}
)";

D3DCOLOR White(UINT, UINT) { return 0xFFFFFFFF; }

// Folders the framework leaves in the temporary folder for this process.
size_t ScratchFoldersLeft() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring pattern =
        std::wstring(temp) + L"quorvel-fx-" + std::to_wstring(GetCurrentProcessId()) + L"-*";
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    size_t n = 1;
    while (FindNextFileW(h, &found))
        ++n;
    FindClose(h);
    return n;
}

struct StubCase {
    const char* name;
    const char* effect; // after kDeclarations
    D3DCOLOR expected;
};

const StubCase kStubCases[] = {
    {"compile in a pass", "technique T { pass { PixelShader = compile ps_2_0 Main(); } }",
     0xFFFF8040},
    {"a literal argument", "technique T { pass { PixelShader = compile ps_2_0 Main(0.5); } }",
     0xFF804020},
    {"a shader variable shared by two passes",
     "PixelShader Shade = compile ps_2_0 Main();\n"
     "technique T { pass A { PixelShader = <Shade>; } pass B { PixelShader = (Shade); } }",
     0xFFFF8040},
};

// The compiler named by QUORVEL_FXC; null for the one the build made.
using CompilerCase = std::tuple<StubCase, const wchar_t*>;

class FxHlslStub : public FxDeviceTest, public ::testing::WithParamInterface<CompilerCase> {
  protected:
    const StubCase& Case() const { return std::get<0>(GetParam()); }
};

TEST_P(FxHlslStub, BindsTheParametersTheShaderReads) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", std::get<1>(GetParam()));
    ComPtr<ID3DXEffect> effect = Compile(std::string(kDeclarations) + Case().effect);
    ASSERT_TRUE(effect);
    EXPECT_EQ(ScratchFoldersLeft(), 0u);
    ComPtr<IDirect3DTexture9> input = MakeTexture(White);
    ASSERT_EQ(effect->SetTexture("InputTexture", input.get()), D3D_OK);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), Case().expected, 1));
    // A new value reaches the shader at the next pass.
    const D3DXVECTOR4 green(0, 1, 0, 1);
    ASSERT_EQ(effect->SetVector("Tint", &green), D3D_OK);
    Draw(effect.get());
    const D3DCOLOR scaled = Case().expected == 0xFF804020 ? 0xFF008000 : 0xFF00FF00;
    EXPECT_TRUE(InteriorIs(ReadBack(), scaled, 1));
    effect = nullptr;
    EXPECT_REF(input.get(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, FxHlslStub,
                         ::testing::Combine(::testing::ValuesIn(kStubCases),
                                            ::testing::Values(kStub.c_str(), nullptr)),
                         [](const ::testing::TestParamInfo<CompilerCase>& info) {
                             std::string name = std::get<0>(info.param).name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name + (std::get<1>(info.param) ? "_stub" : "_compiler");
                         });

// CommitChanges inside a pass sets the compiled shader's constants anew.
TEST_F(FxDeviceTest, CommitChangesReachesACompiledShader) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", kStub.c_str());
    ComPtr<ID3DXEffect> effect =
        Compile(std::string(kDeclarations) + "technique T { pass { PixelShader = compile ps_2_0 "
                                             "Main(); } }");
    ASSERT_TRUE(effect);
    ComPtr<IDirect3DTexture9> input = MakeTexture(White);
    ASSERT_EQ(effect->SetTexture("InputTexture", input.get()), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    const D3DXVECTOR4 blue(0, 0, 1, 1);
    ASSERT_EQ(effect->SetVector("Tint", &blue), D3D_OK);
    ASSERT_EQ(effect->CommitChanges(), D3D_OK);
    float c2[4] = {};
    ASSERT_EQ(m_spDevice->GetPixelShaderConstantF(2, c2, 1), D3D_OK);
    EXPECT_EQ(c2[2], 1.0f);
    EXPECT_EQ(c2[0], 0.0f);
    ComPtr<IDirect3DBaseTexture9> bound;
    ASSERT_EQ(m_spDevice->GetTexture(1, bound.put()), D3D_OK);
    EXPECT_EQ(bound.get(), input.get());
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
}

struct FailureCase {
    const char* name;
    const wchar_t* compiler;
    const char* effect;
    const char* message;
};

const FailureCase kFailureCases[] = {
    {"missing compiler", L"/nonexistent/quorvel-fxc",
     "technique T {\n  pass { PixelShader = compile ps_2_0 Main(); }\n}",
     "memory(14,39): error X3000: cannot compile HLSL: the shader compiler "
     "'/nonexistent/quorvel-fxc' was not found or cannot run"},
    {"a folder for a compiler", L"/tmp",
     "technique T { pass { PixelShader = compile ps_2_0 Main(); } }",
     "memory(13,51): error X3000: cannot compile HLSL: the shader compiler '/tmp' was not found"},
    {"a compiler that fails without a word", L"/bin/false",
     "technique T { pass { PixelShader = compile ps_2_0 Main(); } }",
     "memory(13,51): error X3000: cannot compile HLSL: the shader compiler failed with status 1"},
    {"an error at its place", kStub.c_str(),
     "float4 Other() : COLOR {\n    return FAIL_HERE;\n}\n"
     "technique T { pass { PixelShader = compile ps_2_0 Other(); } }",
     "memory(14,12): error X3004: undeclared identifier 'FAIL_HERE'"},
    {"the compiler's error at its place", nullptr,
     "float4 Other(float2 uv : TEXCOORD0) : COLOR {\n    return Tint * Missing;\n}\n"
     "technique T { pass { PixelShader = compile ps_2_0 Other(); } }",
     "memory(14,19): error X3004: undeclared identifier 'Missing'"},
    {"the compiler refusing what the backend lacks", nullptr,
     "float4 Other(float3 normal : NORMAL) : COLOR {\n    return normal.xyzz;\n}\n"
     "technique T { pass { PixelShader = compile ps_2_0 Other(); } }",
     "memory(16,51): error X3000: Other: 'normal : NORMAL': ps_2_0 reads TEXCOORD0 to TEXCOORD7 "
     "and COLOR0 to COLOR1"},
    {"a vertex shader without a position", nullptr,
     "float4 Other(float4 p : POSITION) : COLOR0 { return p; }\n"
     "technique T { pass { VertexShader = compile vs_2_0 Other(); } }",
     "memory(14,52): error X3000: Other: a vertex shader writes a position (an output : "
     "POSITION)"},
    {"more literal arguments than uniform parameters", nullptr,
     "technique T { pass { PixelShader = compile ps_2_0 Main(1, 2); } }",
     "memory(13,51): error X3000: Main: 'Main' takes 1 uniform parameter(s); compile gives 2 "
     "argument(s)"},
    {"a matrix the backend cannot read, where it is read", nullptr,
     "float3x4 N;\nfloat4 Other(float2 uv : TEXCOORD0) : COLOR { return float4(mul(N, "
     "float4(uv, 0, 1)), 1); }\n"
     "technique T { pass { PixelShader = compile ps_2_0 Main(); }\n"
     "              pass { PixelShader = compile ps_2_0 Other(); } }",
     "memory(16,51): error X3000: Other: 'N': a column_major matrix global must be square here; "
     "declare it row_major"},
};

class FxHlslFailure : public FxDeviceTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FxHlslFailure, FailsTheEffectWithAMessage) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", GetParam().compiler);
    HRESULT hr = S_OK;
    std::string messages;
    ComPtr<ID3DXEffect> effect =
        Compile(std::string(kDeclarations) + GetParam().effect, &hr, &messages);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_FALSE(effect);
    EXPECT_NE(messages.find(GetParam().message), std::string::npos) << messages;
    EXPECT_EQ(ScratchFoldersLeft(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, FxHlslFailure, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

// HLSL shared through an include: the compiler's message names the included
// file and the line there.
TEST_F(FxDeviceTest, CompilerMessagesNameTheIncludedFile) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", kStub.c_str());
    ScratchFolder folder;
    ASSERT_TRUE(
        WriteFileBytes(folder / L"shared.fxh",
                       "// shared\nfloat4 Shade(float4 c) {\n    return c * FAIL_HERE;\n}\n"));
    ASSERT_TRUE(WriteFileBytes(folder / L"main.fx",
                               std::string(kDeclarations) +
                                   "#include \"shared.fxh\"\n"
                                   "float4 Entry(float2 uv : TEXCOORD0) : COLOR { return "
                                   "Shade(tex2D(Input, uv)); }\n"
                                   "technique T { pass { PixelShader = compile ps_2_0 Entry(); } "
                                   "}\n"));
    ComPtr<ID3DXEffect> effect;
    ComPtr<ID3DXBuffer> errors;
    const std::wstring main = folder / L"main.fx";
    EXPECT_EQ(D3DXCreateEffectFromFileW(m_spDevice.get(), main.c_str(), nullptr, nullptr, 0,
                                        nullptr, effect.put(), errors.put()),
              E_FAIL);
    const std::string text = MessagesText(errors.get());
    EXPECT_NE(text.find("shared.fxh(3,16): error X3004: undeclared identifier 'FAIL_HERE'"),
              std::string::npos)
        << text;
}

// Matrices reach the shader in D3DX's register layout, whichever way they
// are declared and multiplied: the colour is a row of the product.
TEST_F(FxDeviceTest, MatricesReachTheShaderAsSet) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", nullptr);
    ComPtr<ID3DXEffect> effect = Compile(R"(
float4x4 M;
row_major float4x4 R;
static const float4 V = float4(0.1, 0.2, 0.3, 0.4);
float4 RowTimesM() : COLOR0 { return mul(V, M); }
float4 RowTimesR() : COLOR0 { return mul(V, R); }
float4 MTimesColumn() : COLOR0 { return mul(M, V); }
technique A { pass { PixelShader = compile ps_2_0 RowTimesM(); } }
technique B { pass { PixelShader = compile ps_2_0 RowTimesR(); } }
technique C { pass { PixelShader = compile ps_2_0 MTimesColumn(); } }
)");
    ASSERT_TRUE(effect);
    // Half the identity, and 1 at row 0, column 1: V x that is (0.05, 0.2,
    // 0.15, 0.2); that x V is (0.25, 0.1, 0.15, 0.2).
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m *= 0.5f;
    m.m[0][1] = 1;
    ASSERT_EQ(effect->SetMatrix("M", &m), D3D_OK);
    ASSERT_EQ(effect->SetMatrix("R", &m), D3D_OK);
    const std::pair<const char*, D3DCOLOR> cases[] = {
        {"A", 0x330D3326}, {"B", 0x330D3326}, {"C", 0x33401A26}};
    for (const auto& [technique, expected] : cases) {
        SCOPED_TRACE(technique);
        ASSERT_EQ(effect->SetTechnique(technique), D3D_OK);
        Draw(effect.get());
        EXPECT_TRUE(InteriorIs(ReadBack(), expected, 1));
    }
}

// A compiled vertex shader's matrix goes to the vertex constants in D3DX's
// layout: mul(position, WorldViewProjection) with the translation in the
// last row moves the quad, half its size, to the right half.
TEST_F(FxDeviceTest, CompiledVertexShaderTakesItsMatrix) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", kStub.c_str());
    ComPtr<ID3DXEffect> effect = Compile(R"(
float4x4 WorldViewProjection : WorldViewProjection;
float4 Transform(float4 p : POSITION) : POSITION { return mul(p, WorldViewProjection); }
technique T { pass {
    VertexShader = compile vs_2_0 Transform();
    PixelShader = asm { ps_2_0 def c0, 1, 1, 1, 1 mov oC0, c0 };
} }
)");
    ASSERT_TRUE(effect);
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 0.5f, 0.5f, 1);
    m.m[3][0] = 0.5f;
    ASSERT_EQ(effect->SetMatrix("WorldViewProjection", &m), D3D_OK);
    DrawClipSpaceQuad(effect.get());
    const std::vector<D3DCOLOR> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), kSize * kSize);
    EXPECT_EQ(pixels[32 * kSize + 48], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[32 * kSize + 16], 0xFF000000u);
    EXPECT_EQ(pixels[4 * kSize + 48], 0xFF000000u);
}

// A grid of 3 x 3 vertices over clip space, each with its texture coordinate
// and one colour, drawn by the effect's own shaders.
class FxHlslGrid : public FxDeviceTest {
  protected:
    void DrawGrid(ID3DXEffect* effect, D3DCOLOR colour) {
        struct Vertex {
            float x, y, z;
            D3DCOLOR colour;
            float u, v;
        };
        std::vector<Vertex> vertices;
        for (int row = 0; row <= 2; ++row) {
            for (int column = 0; column <= 2; ++column)
                vertices.push_back(
                    {column - 1.0f, 1.0f - row, 0.5f, colour, column / 2.0f, row / 2.0f});
        }
        std::vector<WORD> indices;
        for (WORD row = 0; row < 2; ++row) {
            for (WORD column = 0; column < 2; ++column) {
                const WORD a = static_cast<WORD>(row * 3 + column);
                for (WORD i : {a, WORD(a + 1), WORD(a + 3), WORD(a + 1), WORD(a + 4), WORD(a + 3)})
                    indices.push_back(i);
            }
        }
        IDirect3DDevice9* d = m_spDevice.get();
        ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        ASSERT_EQ(d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1), D3D_OK);
        ASSERT_EQ(d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
        ASSERT_EQ(d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
        ASSERT_EQ(d->BeginScene(), D3D_OK);
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(effect->BeginPass(0), D3D_OK);
        ASSERT_EQ(d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 9, 8, indices.data(),
                                            D3DFMT_INDEX16, vertices.data(), sizeof(Vertex)),
                  D3D_OK);
        ASSERT_EQ(effect->EndPass(), D3D_OK);
        ASSERT_EQ(effect->End(), D3D_OK);
        ASSERT_EQ(d->EndScene(), D3D_OK);
    }
};

struct VertexCase {
    const char* name;
    const char* vertexProfile;
    const char* pixelProfile;
    const char* matrix; // the declaration of WorldViewProjection
};

const VertexCase kVertexCases[] = {
    {"vs_2_0 and ps_2_0", "vs_2_0", "ps_2_0", "float4x4"},
    {"vs_3_0 and ps_3_0", "vs_3_0", "ps_3_0", "float4x4"},
    {"a row_major matrix", "vs_2_0", "ps_2_0", "row_major float4x4"},
    {"a row_major matrix in vs_3_0", "vs_3_0", "ps_3_0", "row_major float4x4"},
};

class FxHlslVertex : public FxHlslGrid, public ::testing::WithParamInterface<VertexCase> {};

// The vertex shader moves the grid, half its size, to the right half and
// passes on its texture coordinates and colour; the pixel shader reads them
// by semantic. The texture is white on its left half and blue on its right.
TEST_P(FxHlslVertex, RendersTheGridItsVertexShaderPlaces) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", nullptr);
    const VertexCase& c = GetParam();
    ComPtr<ID3DXEffect> effect = Compile(std::string(R"(
texture InputTexture;
sampler2D Input = sampler_state { Texture = <InputTexture>; MinFilter = POINT; MagFilter = POINT; };
)") + c.matrix + R"( WorldViewProjection : WorldViewProjection;
struct Varyings { float4 position : POSITION; float4 colour : COLOR0; float2 uv : TEXCOORD0; };
Varyings Place(float4 p : POSITION, float2 uv : TEXCOORD0, float4 colour : COLOR0) {
    Varyings o;
    o.position = mul(p, WorldViewProjection);
    o.colour = colour;
    o.uv = uv;
    return o;
}
struct PixelIn { float4 colour : COLOR0; float2 uv : TEXCOORD0; };
float4 Shade(PixelIn i) : COLOR0 { return tex2D(Input, i.uv) * i.colour; }
technique T { pass {
    VertexShader = compile )" + c.vertexProfile +
                                         R"( Place();
    PixelShader = compile )" + c.pixelProfile +
                                         R"( Shade();
} }
)");
    ASSERT_TRUE(effect);
    ComPtr<IDirect3DTexture9> input = MakeTexture(
        [](UINT x, UINT) -> D3DCOLOR { return x < kSize / 2 ? 0xFFFFFFFF : 0xFF0000FF; });
    ASSERT_EQ(effect->SetTexture("InputTexture", input.get()), D3D_OK);
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 0.5f, 0.5f, 1);
    m.m[3][0] = 0.5f;
    ASSERT_EQ(effect->SetMatrix("WorldViewProjection", &m), D3D_OK);
    DrawGrid(effect.get(), 0xFFFF8040);
    const std::vector<D3DCOLOR> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), kSize * kSize);
    const std::pair<POINT, D3DCOLOR> expected[] = {{{40, 24}, 0xFFFF8040}, {{40, 40}, 0xFFFF8040},
                                                   {{56, 24}, 0xFF000040}, {{56, 40}, 0xFF000040},
                                                   {{16, 32}, 0xFF000000}, {{48, 8}, 0xFF000000},
                                                   {{48, 56}, 0xFF000000}};
    for (const auto& [at, colour] : expected)
        EXPECT_TRUE(ColorNear(pixels[at.y * kSize + at.x], colour, 1)) << at.x << "," << at.y;
    effect = nullptr;
    EXPECT_REF(input.get(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, FxHlslVertex, ::testing::ValuesIn(kVertexCases),
                         [](const ::testing::TestParamInfo<VertexCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

// A ps_2_0 shader reads a colour (v0) and the second texture coordinate set
// (t1) through a structure, as the fixed-function vertex stage hands them on.
TEST_F(FxDeviceTest, PixelShaderReadsColourAndSecondTextureCoordinate) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", nullptr);
    ComPtr<ID3DXEffect> effect = Compile(R"(
struct PixelIn { float2 second : TEXCOORD1; float4 colour : COLOR0; };
float4 Shade(PixelIn i) : COLOR0 { return float4(i.second, 0, 1) * i.colour; }
technique T { pass { PixelShader = compile ps_2_0 Shade(); } }
)");
    ASSERT_TRUE(effect);
    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR colour;
        float u0, v0, u1, v1;
    };
    const float e = kSize - 0.5f;
    const D3DCOLOR colour = 0xFF80FF40;
    const Vertex quad[4] = {{-0.5f, -0.5f, 0, 1, colour, 0, 0, 0.5f, 0.25f},
                            {e, -0.5f, 0, 1, colour, 1, 0, 0.5f, 0.25f},
                            {-0.5f, e, 0, 1, colour, 0, 1, 0.5f, 0.25f},
                            {e, e, 0, 1, colour, 1, 1, 0.5f, 0.25f}};
    IDirect3DDevice9* d = m_spDevice.get();
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2), D3D_OK);
    ASSERT_EQ(d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    ASSERT_EQ(d->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    // (0.5, 0.25, 0, 1) times (0.5, 1, 0.25, 1).
    EXPECT_TRUE(InteriorIs(ReadBack(), 0xFF404000, 1));
}

// Shared HLSL from an include, compiled and drawn.
TEST_F(FxDeviceTest, IncludedHlslRendersThroughTheCompiler) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", nullptr);
    ScratchFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder / L"shared.fxh",
                               "static const float3 Luma = float3(0.25, 0.5, 0.25);\n"
                               "float4 Grey(float4 c) { float y = dot(c.rgb, Luma); return "
                               "float4(y, y, y, c.a); }\n"));
    ASSERT_TRUE(WriteFileBytes(folder / L"main.fx",
                               std::string(kDeclarations) +
                                   "#include \"shared.fxh\"\n"
                                   "float4 Entry(float2 uv : TEXCOORD0) : COLOR { return "
                                   "Grey(tex2D(Input, uv)) * Tint; }\n"
                                   "technique T { pass { PixelShader = compile ps_2_0 Entry(); } "
                                   "}\n"));
    ComPtr<ID3DXEffect> effect;
    ComPtr<ID3DXBuffer> errors;
    const std::wstring main = folder / L"main.fx";
    ASSERT_EQ(D3DXCreateEffectFromFileW(m_spDevice.get(), main.c_str(), nullptr, nullptr, 0,
                                        nullptr, effect.put(), errors.put()),
              S_OK)
        << MessagesText(errors.get());
    // Red (1, 0, 0) is 0.25 grey, times Tint (1, 0.5, 0.25, 1).
    ComPtr<IDirect3DTexture9> input = MakeTexture([](UINT, UINT) { return 0xFFFF0000; });
    ASSERT_EQ(effect->SetTexture("InputTexture", input.get()), D3D_OK);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0xFF402010, 1));
}

} // namespace
} // namespace fxtest

namespace fxtest {
namespace {

// A uniform array takes one register an element, as D3DX lays it out, and
// the array setters reach every element; the single-value setters refuse it.
// The file is written as D3DX also takes it: a register binding, a stray
// semicolon, the keywords capitalised.
TEST_F(FxDeviceTest, UniformArraysReachTheShaderOneRegisterAnElement) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", nullptr);
    ComPtr<ID3DXEffect> effect = Compile(R"(
float Weights[3] = { 0.1, 0.2, 0.3 };
float2 Offsets[2];
float Pick : register(c9) = 0;
float4 Main() : COLOR0 {
    return float4(Weights[(int)Pick], Offsets[1].x, Offsets[1].y, Weights[2]);
};
Technique T { Pass { PixelShader = compile ps_2_0 Main(); } }
)");
    ASSERT_TRUE(effect);
    D3DXPARAMETER_DESC desc{};
    ASSERT_EQ(effect->GetParameterDesc("Offsets", &desc), D3D_OK);
    EXPECT_EQ(desc.Elements, 2u);
    EXPECT_EQ(desc.Bytes, 16u);
    EXPECT_EQ(effect->SetFloat("Weights", 1.0f), D3DERR_INVALIDCALL);
    const D3DXVECTOR4 v(1, 1, 1, 1);
    EXPECT_EQ(effect->SetVector("Offsets", &v), D3DERR_INVALIDCALL);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0x4D1A0000, 1));
    const float offsets[] = {0.25f, 0.5f, 0.75f, 1.0f};
    ASSERT_EQ(effect->SetFloatArray("Offsets", offsets, 4), D3D_OK);
    ASSERT_EQ(effect->SetFloat("Pick", 1.0f), D3D_OK);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0x4D33BFFF, 1));
    const D3DXVECTOR4 weights[] = {{0, 0, 0, 0}, {0.6f, 9, 9, 9}, {0.4f, 9, 9, 9}};
    ASSERT_EQ(effect->SetVectorArray("Weights", weights, 3), D3D_OK);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0x6699BFFF, 1));
}

// clip() discards the pixels where its argument is negative: the left half
// keeps the cleared target.
TEST_F(FxDeviceTest, ClipDiscardsThePixelsItNames) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", nullptr);
    ComPtr<ID3DXEffect> effect = Compile(R"(
float4 Main(float2 uv : TEXCOORD0) : COLOR0 { clip(uv.x - 0.5); return float4(1, 0, 0, 1); }
technique T { pass { PixelShader = compile ps_2_0 Main(); } }
)");
    ASSERT_TRUE(effect);
    Draw(effect.get());
    const std::vector<D3DCOLOR> pixels = ReadBack();
    const UINT row = kSize / 2 * kSize;
    EXPECT_TRUE(ColorNear(pixels[row + kSize / 4], 0x00000000, 0));
    EXPECT_TRUE(ColorNear(pixels[row + kSize * 3 / 4], 0xFFFF0000, 0));
}

// tex2Dlod samples the level it names, in the pixel shader and in the
// vertex shader (a vertex texture read, vs_3_0): the left half of the
// texture is red, the right half green; the vertex shader's read of the
// left half reaches the pixel through COLOR0.
TEST_F(FxDeviceTest, Tex2DlodReadsInBothStages) {
    ScopedEnvironment compiler(L"QUORVEL_FXC", nullptr);
    ComPtr<ID3DXEffect> effect = Compile(R"(
texture Input;
sampler S = sampler_state { Texture = <Input>; MinFilter = Point; MagFilter = Point; };
struct V { float4 position : POSITION; float4 colour : COLOR0; };
V Place(float4 p : POSITION) {
    V v;
    v.position = p;
    v.colour = tex2Dlod(S, float4(0.25, 0.5, 0, 0));
    return v;
}
float4 Shade(float4 colour : COLOR0) : COLOR0 {
    return colour + tex2Dlod(S, float4(0.75, 0.5, 0, 0)) * 0.5;
}
technique T { pass {
    VertexShader = compile vs_3_0 Place();
    PixelShader = compile ps_3_0 Shade();
} }
)");
    ASSERT_TRUE(effect);
    ComPtr<IDirect3DTexture9> input =
        MakeTexture([](UINT x, UINT) { return x < kSize / 2 ? 0xFFFF0000 : 0xFF00FF00; });
    ASSERT_EQ(effect->SetTexture("Input", input.get()), D3D_OK);
    DrawClipSpaceQuad(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0xFFFF8000, 1));
}

} // namespace
} // namespace fxtest
