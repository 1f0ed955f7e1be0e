// The stand-in effect framework drawing on a real device.

#include "tests/fx/FxTestDevice.h"

#include "tests/support/TestSupport.h"

namespace fxtest {
namespace {

using quorvel::ComPtr;

D3DCOLOR Pattern(UINT x, UINT y) {
    return D3DCOLOR_ARGB(0xFF, (x * 4) & 0xFF, (y * 4) & 0xFF, ((x ^ y) * 8) & 0xFF);
}

TEST(FxStandIn, IsTheLoadedD3dx9_30) {
    HMODULE module = GetModuleHandleW(L"d3dx9_30.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "QuorvelFxStandIn"), nullptr);
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(module, path, MAX_PATH), 0u);
    EXPECT_EQ(std::wstring(path), testing_support::ProgramFolder() + L"d3dx9_30.dll");
}

const char kSamplerCopy[] = R"(
texture Input : InputTexture0;
sampler Source = sampler_state {
    Texture = <Input>;
    MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
technique Copy {
    pass P0 {
        VertexShader = NULL;
        Sampler[0] = (Source);
        PixelShader = asm {
            ps_2_0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            mov oC0, r0
        };
    }
}
)";

const char kTextureStageCopy[] = R"(
// Texture and filters through the stage states.
texture Input : INPUTTEXTURE0 < string UIName = "input"; >;
technique Copy {
    pass {
        Texture[0] = <Input>;
        MinFilter[0] = Point;
        MagFilter[0] = Point;
        AddressU[0] = Clamp;
        AddressV[0] = Clamp;
        PixelShader = asm {
            ps_2_0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            mov oC0, r0
        };
    }
}
)";

class FxCopy : public FxDeviceTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FxCopy, CopiesItsInputExactly) {
    ComPtr<ID3DXEffect> effect = Compile(GetParam());
    ASSERT_TRUE(effect);
    ComPtr<IDirect3DTexture9> input = MakeTexture(Pattern);
    // Semantics match whatever their case.
    D3DXHANDLE h = effect->GetParameterBySemantic(nullptr, "inputtexture0");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(effect->SetTexture(h, input.get()), D3D_OK);
    Draw(effect.get());
    const std::vector<D3DCOLOR> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), kSize * kSize);
    for (UINT y = 0; y < kSize; ++y) {
        for (UINT x = 0; x < kSize; ++x)
            ASSERT_EQ(pixels[y * kSize + x], Pattern(x, y)) << x << "," << y;
    }
    effect = nullptr;
    EXPECT_REF(input.get(), 1);
}

INSTANTIATE_TEST_SUITE_P(Bindings, FxCopy, ::testing::Values(kSamplerCopy, kTextureStageCopy));

// One pixel shader that writes one register; the cases differ in how that
// register gets its value.
std::string ConstantEffect(const std::string& declarations, const std::string& constantState,
                           const char* reg) {
    return declarations + R"(
technique T {
    pass {
        )" +
           constantState + R"(
        PixelShader = asm { ps_2_0
            mov oC0, )" +
           reg + R"( };
    }
}
)";
}

struct ConstantCase {
    const char* name;
    const char* declarations;
    const char* state;
    std::function<HRESULT(ID3DXEffect*)> set;
    D3DCOLOR expected;
    const char* reg = "c0";
};

D3DXMATRIX MatrixWithFirstColumn(float a, float b, float c, float d) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._11 = a;
    m._21 = b;
    m._31 = c;
    m._41 = d;
    return m;
}

const ConstantCase kConstantCases[] = {
    {"float", "float Amount : AMOUNT;", "PixelShaderConstantF[0] = <Amount>;",
     [](ID3DXEffect* e) { return e->SetFloat(e->GetParameterBySemantic(nullptr, "Amount"), 0.5f); },
     D3DCOLOR_ARGB(0, 0x80, 0, 0)},
    {"float4", "float4 Tint : Tint;", "PixelShaderConstantF[0] = <Tint>;",
     [](ID3DXEffect* e) {
         const D3DXVECTOR4 v(0.25f, 0.5f, 0.75f, 1.0f);
         return e->SetVector("Tint", &v);
     },
     D3DCOLOR_ARGB(0xFF, 0x40, 0x80, 0xBF)},
    {"literal", "", "PixelShaderConstantF[0] = {0, 1, 0, 1};", nullptr,
     D3DCOLOR_ARGB(0xFF, 0, 0xFF, 0)},
    {"literal float4()", "", "PixelShaderConstant1[0] = float4(1, 1, 0, 1);", nullptr,
     D3DCOLOR_ARGB(0xFF, 0xFF, 0xFF, 0)},
    {"initialiser", "float4 Fixed = {1, 0, 1, 1};", "PixelShaderConstant1[0] = <Fixed>;", nullptr,
     D3DCOLOR_ARGB(0xFF, 0xFF, 0, 0xFF)},
    {"int split into a colour", "float4 Colour;", "PixelShaderConstantF[0] = <Colour>;",
     [](ID3DXEffect* e) { return e->SetInt("Colour", static_cast<INT>(0xFF00FF00)); },
     D3DCOLOR_ARGB(0xFF, 0, 0xFF, 0)},
    {"bool as 1.0", "bool On;", "PixelShaderConstantF[0] = <On>;",
     [](ID3DXEffect* e) { return e->SetBool("On", TRUE); }, D3DCOLOR_ARGB(0, 0xFF, 0, 0)},
    {"matrix column", "float4x4 M : World;", "PixelShaderConstant4[0] = <M>;",
     [](ID3DXEffect* e) {
         const D3DXMATRIX m = MatrixWithFirstColumn(0, 1, 1, 1);
         return e->SetMatrix(e->GetParameterBySemantic(nullptr, "WORLD"), &m);
     },
     D3DCOLOR_ARGB(0xFF, 0, 0xFF, 0xFF)},
    // Each stored row or column of a matrix takes a register of its own.
    {"row_major rows", "row_major float2x3 R = {1, 0, 0,  0, 1, 1};",
     "PixelShaderConstantF[0] = <R>;", nullptr, D3DCOLOR_ARGB(0, 0, 0xFF, 0xFF), "c1"},
    {"columns", "float3x2 C = {1, 0,  0, 1,  1, 1};", "PixelShaderConstantF[0] = <C>;", nullptr,
     D3DCOLOR_ARGB(0, 0, 0xFF, 0xFF), "c1"},
};

class FxConstants : public FxDeviceTest, public ::testing::WithParamInterface<ConstantCase> {};

TEST_P(FxConstants, ReachThePixelShader) {
    const ConstantCase& c = GetParam();
    ComPtr<ID3DXEffect> effect = Compile(ConstantEffect(c.declarations, c.state, c.reg));
    ASSERT_TRUE(effect);
    if (c.set) {
        ASSERT_EQ(c.set(effect.get()), D3D_OK);
    }
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), c.expected, 1));
}

INSTANTIATE_TEST_SUITE_P(Sources, FxConstants, ::testing::ValuesIn(kConstantCases),
                         [](const ::testing::TestParamInfo<ConstantCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

const char kTwoTechniques[] = R"(
technique Red {
    pass { PixelShaderConstantF[0] = {1, 0, 0, 1};
           PixelShader = asm { ps_2_0 mov oC0, c0 }; }
}
technique Green {
    pass { PixelShaderConstantF[0] = {0, 1, 0, 1};
           PixelShader = asm { ps_2_0 mov oC0, c0 }; }
}
)";

TEST_F(FxDeviceTest, SetTechniqueSwitchesBetweenTechniques) {
    ComPtr<ID3DXEffect> effect = Compile(kTwoTechniques);
    ASSERT_TRUE(effect);
    // The first technique is current from the start.
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0xFFFF0000, 0));
    ASSERT_EQ(effect->SetTechnique("Green"), D3D_OK);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0xFF00FF00, 0));
    ASSERT_EQ(effect->SetTechnique(effect->GetTechniqueByName("Red")), D3D_OK);
    EXPECT_EQ(effect->GetCurrentTechnique(), effect->GetTechnique(0));
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0xFFFF0000, 0));
    EXPECT_EQ(effect->SetTechnique("Blue"), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetCurrentTechnique(), effect->GetTechnique(0));
}

const char kTwoPassBlend[] = R"(
float4 Second = {0, 0, 1, 0.5};
technique Layers {
    pass Base {
        AlphaBlendEnable = FALSE;
        PixelShaderConstantF[0] = {1, 0, 0, 1};
        PixelShader = asm { ps_2_0 mov oC0, c0 };
    }
    pass Over {
        AlphaBlendEnable = TRUE;
        SrcBlend = SRCALPHA;
        DestBlend = INVSRCALPHA;
        BlendOp = ADD;
        PixelShaderConstantF[0] = <Second>;
        PixelShader = asm { ps_2_0 mov oC0, c0 };
    }
}
)";

TEST_F(FxDeviceTest, TwoPassesBlendOverEachOther) {
    ComPtr<ID3DXEffect> effect = Compile(kTwoPassBlend);
    ASSERT_TRUE(effect);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 2u);
    ASSERT_EQ(effect->End(), D3D_OK);
    Draw(effect.get());
    // Half blue over red; alpha blends too: 0.5 * 0.5 + 1 * 0.5.
    EXPECT_TRUE(InteriorIs(ReadBack(), D3DCOLOR_ARGB(0xBF, 0x80, 0, 0x80), 1));
}

const char kStatefulPass[] = R"(
texture Other;
technique T {
    pass {
        CullMode = NONE;
        AlphaBlendEnable = TRUE;
        ColorWriteEnable = RED | GREEN | BLUE;
        MinFilter[1] = POINT;
        Texture[1] = <Other>;
        PixelShaderConstantF[3] = {1, 2, 3, 4};
        PixelShader = asm { ps_2_0 mov oC0, c3 };
    }
}
)";

struct DeviceState {
    DWORD cull = 0, blend = 0, writeMask = 0, minFilter = 0;
    ComPtr<IDirect3DBaseTexture9> texture;
    ComPtr<IDirect3DPixelShader9> shader;
    float constant[4] = {};
};

DeviceState ReadState(IDirect3DDevice9* d) {
    DeviceState s;
    d->GetRenderState(D3DRS_CULLMODE, &s.cull);
    d->GetRenderState(D3DRS_ALPHABLENDENABLE, &s.blend);
    d->GetRenderState(D3DRS_COLORWRITEENABLE, &s.writeMask);
    d->GetSamplerState(1, D3DSAMP_MINFILTER, &s.minFilter);
    d->GetTexture(1, s.texture.put());
    d->GetPixelShader(s.shader.put());
    d->GetPixelShaderConstantF(3, s.constant, 1);
    return s;
}

TEST_F(FxDeviceTest, StateSetByAPassIsRestoredAtEnd) {
    ComPtr<ID3DXEffect> effect = Compile(kStatefulPass);
    ASSERT_TRUE(effect);
    ComPtr<IDirect3DTexture9> before = MakeTexture(Pattern);
    ComPtr<IDirect3DTexture9> other = MakeTexture(Pattern);
    ASSERT_EQ(effect->SetTexture("Other", other.get()), D3D_OK);
    IDirect3DDevice9* d = m_spDevice.get();
    const float constant[4] = {9, 9, 9, 9};
    ASSERT_EQ(d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW), D3D_OK);
    ASSERT_EQ(d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE), D3D_OK);
    ASSERT_EQ(d->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF), D3D_OK);
    ASSERT_EQ(d->SetSamplerState(1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(d->SetTexture(1, before.get()), D3D_OK);
    ASSERT_EQ(d->SetPixelShader(nullptr), D3D_OK);
    ASSERT_EQ(d->SetPixelShaderConstantF(3, constant, 1), D3D_OK);

    for (DWORD flags : {DWORD{0}, DWORD{D3DXFX_DONOTSAVESTATE}}) {
        SCOPED_TRACE(flags);
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, flags), D3D_OK);
        ASSERT_EQ(effect->BeginPass(0), D3D_OK);
        DeviceState inPass = ReadState(d);
        EXPECT_EQ(inPass.cull, static_cast<DWORD>(D3DCULL_NONE));
        EXPECT_EQ(inPass.blend, static_cast<DWORD>(TRUE));
        EXPECT_EQ(inPass.writeMask, 7u);
        EXPECT_EQ(inPass.minFilter, static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(inPass.texture.get(), other.get());
        EXPECT_TRUE(inPass.shader);
        EXPECT_EQ(inPass.constant[2], 3.0f);
        inPass = DeviceState{};
        ASSERT_EQ(effect->EndPass(), D3D_OK);
        ASSERT_EQ(effect->End(), D3D_OK);
        const DeviceState after = ReadState(d);
        if (flags == 0) {
            EXPECT_EQ(after.cull, static_cast<DWORD>(D3DCULL_CCW));
            EXPECT_EQ(after.blend, static_cast<DWORD>(FALSE));
            EXPECT_EQ(after.writeMask, 0xFu);
            EXPECT_EQ(after.minFilter, static_cast<DWORD>(D3DTEXF_LINEAR));
            EXPECT_EQ(after.texture.get(), before.get());
            EXPECT_FALSE(after.shader);
            EXPECT_EQ(after.constant[0], 9.0f);
        } else {
            EXPECT_EQ(after.cull, static_cast<DWORD>(D3DCULL_NONE));
            EXPECT_EQ(after.texture.get(), other.get());
        }
    }
    ASSERT_EQ(d->SetTexture(1, nullptr), D3D_OK);
    effect = nullptr;
    EXPECT_REF(before.get(), 1);
    EXPECT_REF(other.get(), 1);
}

TEST_F(FxDeviceTest, PassesAreEnteredInOrder) {
    ComPtr<ID3DXEffect> effect = Compile(kTwoPassBlend);
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->Begin(nullptr, 0), D3D_OK);
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(2), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->BeginPass(1), D3D_OK);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->CommitChanges(), D3D_OK);
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    // Released inside Begin: the saved state goes with the effect.
    ASSERT_EQ(effect->Begin(nullptr, 0), D3D_OK);
}

TEST_F(FxDeviceTest, BeginWithoutEndRestoresTheCallersState) {
    ComPtr<ID3DXEffect> effect = Compile(kTwoPassBlend);
    ASSERT_TRUE(effect);
    IDirect3DDevice9* d = m_spDevice.get();
    ASSERT_EQ(d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE), D3D_OK);
    ASSERT_EQ(effect->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(1), D3D_OK);
    DWORD blend = 0;
    ASSERT_EQ(d->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend), D3D_OK);
    EXPECT_EQ(blend, static_cast<DWORD>(TRUE));
    // An abandoned frame: neither EndPass nor End.
    ASSERT_EQ(effect->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(d->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend), D3D_OK);
    EXPECT_EQ(blend, static_cast<DWORD>(FALSE));
    ASSERT_EQ(effect->BeginPass(1), D3D_OK);
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    ASSERT_EQ(d->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend), D3D_OK);
    EXPECT_EQ(blend, static_cast<DWORD>(FALSE));
}

TEST_F(FxDeviceTest, ReferencesAreBalanced) {
    // Device resources count on the device too, so only the difference counts.
    const ULONG deviceRefs = testing_support::RefCount(m_spDevice.get());
    ComPtr<ID3DXEffect> effect = Compile(kSamplerCopy);
    ASSERT_TRUE(effect);
    EXPECT_REF(effect.get(), 1);
    EXPECT_GT(testing_support::RefCount(m_spDevice.get()), deviceRefs);
    ComPtr<IDirect3DTexture9> input = MakeTexture(Pattern);
    ComPtr<IDirect3DTexture9> replacement = MakeTexture(Pattern);
    ASSERT_EQ(effect->SetTexture("Input", input.get()), D3D_OK);
    EXPECT_REF(input.get(), 2);
    ASSERT_EQ(effect->SetTexture("Input", replacement.get()), D3D_OK);
    EXPECT_REF(input.get(), 1);
    EXPECT_REF(replacement.get(), 2);
    ComPtr<IDirect3DBaseTexture9> got;
    ASSERT_EQ(effect->GetTexture("Input", got.put()), D3D_OK);
    EXPECT_EQ(got.get(), replacement.get());
    got = nullptr;
    ComPtr<IDirect3DDevice9> device;
    ASSERT_EQ(effect->GetDevice(device.put()), D3D_OK);
    EXPECT_EQ(device.get(), m_spDevice.get());
    device = nullptr;
    ComPtr<ID3DXEffect> again;
    ASSERT_EQ(effect->QueryInterface(IID_IUnknown, again.put_void()), S_OK);
    EXPECT_REF(effect.get(), 2);
    again = nullptr;
    Draw(effect.get());
    ASSERT_EQ(m_spDevice->SetTexture(0, nullptr), D3D_OK);
    EXPECT_REF(replacement.get(), 2);
    ASSERT_EQ(effect->SetTexture("Input", nullptr), D3D_OK);
    EXPECT_REF(replacement.get(), 1);
    input = nullptr;
    replacement = nullptr;
    EXPECT_EQ(effect.detach()->Release(), 0u);
    EXPECT_REF(m_spDevice.get(), deviceRefs);
}

const char kVertexShaderEffect[] = R"(
float4x4 Transform : WorldViewProjection;
technique T {
    pass {
        CullMode = NONE;
        VertexShaderConstant4[0] = <Transform>;
        VertexShader = asm {
            vs_2_0
            dcl_position v0
            m4x4 oPos, v0, c0
        };
        PixelShaderConstantF[0] = {1, 1, 1, 1};
        PixelShader = asm { ps_2_0 mov oC0, c0 };
    }
}
)";

// A translation in the framework's row-vector convention moves the quad right:
// that holds only if the constant registers receive the matrix the same way
// as on Windows.
TEST_F(FxDeviceTest, VertexShaderTakesTheMatrixInTheFrameworkConvention) {
    ComPtr<ID3DXEffect> effect = Compile(kVertexShaderEffect);
    ASSERT_TRUE(effect);
    D3DXMATRIX shift;
    D3DXMatrixTranslation(&shift, 1.0f, 0.0f, 0.0f);
    ASSERT_EQ(
        effect->SetMatrix(effect->GetParameterBySemantic(nullptr, "WorldViewProjection"), &shift),
        D3D_OK);
    DrawClipSpaceQuad(effect.get());
    // End put the fixed-function vertex processing back.
    ComPtr<IDirect3DVertexShader9> shader;
    ASSERT_EQ(m_spDevice->GetVertexShader(shader.put()), D3D_OK);
    EXPECT_FALSE(shader);
    const std::vector<D3DCOLOR> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), kSize * kSize);
    for (UINT y = 2; y < kSize - 2; y += 5) {
        EXPECT_TRUE(ColorNear(pixels[y * kSize + 8], 0xFF000000, 0)) << y;
        EXPECT_TRUE(ColorNear(pixels[y * kSize + kSize - 8], 0xFFFFFFFF, 0)) << y;
    }
}

} // namespace
} // namespace fxtest
