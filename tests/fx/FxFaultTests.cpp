// Every failing device call the effect makes comes back unchanged, with no
// reference left behind, the device not left recording and none of the
// framework's own heap kept.

#include "tests/fx/FaultDevice.h"
#include "tests/fx/FxTestDevice.h"

#include "com/HResult.h"
#include "tests/support/TestSupport.h"

#include <climits>
#include <cstring>
#include <string>

namespace fxtest {
namespace {

using quorvel::ComPtr;

const char kBusyEffect[] = R"(
texture Input : InputTexture0;
float4x4 Transform : WorldViewProjection;
int Steps = 3;
bool Flag = true;
sampler Smp = sampler_state { Texture = <Input>; MinFilter = LINEAR; AddressU = WRAP; };
technique T {
    pass A {
        CullMode = NONE;
        ZEnable = FALSE;
        Sampler[0] = <Smp>;
        Texture[1] = <Input>;
        MagFilter[1] = POINT;
        VertexShaderConstant4[0] = <Transform>;
        VertexShader = asm { vs_2_0 dcl_position v0 m4x4 oPos, v0, c0 };
        PixelShaderConstantF[0] = {1, 0, 0, 1};
        PixelShaderConstantI[0] = <Steps>;
        PixelShaderConstantB[0] = <Flag>;
        PixelShader = asm { ps_2_0 mov oC0, c0 };
    }
    pass B {
        AlphaBlendEnable = TRUE;
        SrcBlend = ONE;
        DestBlend = ONE;
        VertexShader = NULL;
        PixelShader = NULL;
    }
}
)";

// The same through a shader compiled from HLSL (the stand-in compiler): its
// constant and sampler bindings are device calls of their own.
const char kHlslEffect[] = R"(
texture Picture : InputTexture0;
sampler2D Input = sampler_state { Texture = <Picture>; MinFilter = POINT; };
float4 Tint = float4(1, 0, 0, 1);
float4 Main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(Input, uv) * Tint; }
technique T {
    pass A { PixelShader = compile ps_2_0 Main(0.5); }
    pass B { PixelShader = compile ps_2_0 Main(0.5); }
}
)";

// The stand-in's own heap bytes still allocated (host/fx/FxHeapCount.cpp).
ULONGLONG FrameworkBytes() {
    using LiveHeapFn = HRESULT(WINAPI*)(ULONGLONG*, ULONGLONG*);
    const auto live = reinterpret_cast<LiveHeapFn>(
        GetProcAddress(GetModuleHandleW(L"d3dx9_30.dll"), "QuorvelFxLiveHeap"));
    ULONGLONG bytes = 0, blocks = 0;
    EXPECT_TRUE(live && SUCCEEDED(live(&bytes, &blocks)));
    return bytes;
}

struct FaultCase {
    const char* text;
    const wchar_t* compiler;
};

class FxFaults : public FxDeviceTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FxFaults, EveryFailingDeviceCallIsPassedBack) {
    testing_support::ScopedEnvironment compiler(L"QUORVEL_FXC", GetParam().compiler);
    const char* const kEffect = GetParam().text;
    FaultDevice fault(m_spDevice.get());
    ComPtr<IDirect3DTexture9> input = MakeTexture([](UINT, UINT) { return 0xFF808080; });
    ASSERT_TRUE(input);
    ULONGLONG held = 0;
    auto run = [&]() -> HRESULT {
        ComPtr<ID3DXEffect> effect;
        ComPtr<ID3DXBuffer> messages;
        RETURN_IF_FAILED(D3DXCreateEffect(&fault, kEffect, static_cast<UINT>(strlen(kEffect)),
                                          nullptr, nullptr, 0, nullptr, effect.put(),
                                          messages.put()));
        held = FrameworkBytes();
        RETURN_IF_FAILED(effect->SetTexture(
            effect->GetParameterBySemantic(nullptr, "InputTexture0"), input.get()));
        UINT passes = 0;
        RETURN_IF_FAILED(effect->Begin(&passes, 0));
        for (UINT p = 0; p < passes; ++p) {
            RETURN_IF_FAILED(effect->BeginPass(p));
            RETURN_IF_FAILED(effect->CommitChanges());
            RETURN_IF_FAILED(effect->EndPass());
        }
        return effect->End();
    };
    fault.Arm(UINT_MAX);
    ASSERT_EQ(run(), S_OK);
    // Whatever the framework makes once for good is made by now.
    const ULONGLONG start = FrameworkBytes();
    fault.Arm(UINT_MAX);
    ASSERT_EQ(run(), S_OK);
    EXPECT_GT(held, start) << "the count sees the effect";
    EXPECT_EQ(FrameworkBytes(), start);
    const unsigned total = fault.calls();
    ASSERT_GT(total, 20u);
    for (unsigned n = 1; n <= total; ++n) {
        fault.Arm(n);
        const HRESULT hr = run();
        EXPECT_EQ(hr, kInjectedFailure) << "call " << n << ": " << fault.failed();
        EXPECT_EQ(FrameworkBytes(), start) << n << ": " << fault.failed();
        EXPECT_FALSE(fault.failed().empty()) << n;
        EXPECT_REF(&fault, 1) << n;
        EXPECT_REF(input.get(), 1) << n;
        // A failed EndStateBlock was never made: end the recording here.
        ComPtr<IDirect3DStateBlock9> block;
        if (fault.failed() == "EndStateBlock") {
            EXPECT_EQ(m_spDevice->EndStateBlock(block.put()), D3D_OK);
        } else {
            EXPECT_EQ(m_spDevice->BeginStateBlock(), D3D_OK) << n << ": " << fault.failed();
            EXPECT_EQ(m_spDevice->EndStateBlock(block.put()), D3D_OK);
        }
    }
    m_spDevice->SetTexture(0, nullptr);
    m_spDevice->SetTexture(1, nullptr);
}

const std::string kStubPath = QUORVEL_TEST_SOURCE_DIR "/hlsl/stub-fxc.sh";
const std::wstring kStub(kStubPath.begin(), kStubPath.end());

INSTANTIATE_TEST_SUITE_P(Effects, FxFaults,
                         ::testing::Values(FaultCase{kBusyEffect, nullptr},
                                           FaultCase{kHlslEffect, kStub.c_str()}));

} // namespace
} // namespace fxtest
