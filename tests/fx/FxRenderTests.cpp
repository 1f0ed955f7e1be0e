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

} // namespace
} // namespace fxtest
