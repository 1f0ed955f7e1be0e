// The render tool's command line and effect scan, rule by rule.

#include "host/render/EffectScan.h"
#include "host/render/InputSequence.h"
#include "host/render/Options.h"

#include <gtest/gtest.h>

namespace {

using namespace quorvelrender;

std::vector<std::wstring> Split(const std::wstring& line) { return SplitArguments(line); }

TEST(ToolOptions, SizeAcceptsOnlyPositiveBoundedPairs) {
    const struct {
        const wchar_t* text;
        bool ok;
        UINT w, h;
    } cases[] = {
        {L"640x480", true, 640, 480},
        {L"333X217", true, 333, 217},
        {L"1x1", true, 1, 1},
        {L"8192x8192", true, 8192, 8192},
        {L"8193x10", false, 0, 0},
        {L"0x10", false, 0, 0},
        {L"10x0", false, 0, 0},
        {L"-5x10", false, 0, 0},
        {L"10", false, 0, 0},
        {L"x10", false, 0, 0},
        {L"10x", false, 0, 0},
        {L"1 0x10", false, 0, 0},
        {L"99999999999x1", false, 0, 0},
    };
    for (const auto& c : cases) {
        UINT w = 7, h = 7;
        EXPECT_EQ(ParseSize(c.text, w, h), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(w, c.w);
            EXPECT_EQ(h, c.h);
        } else {
            EXPECT_EQ(w, 7u);
        }
    }
}

TEST(ToolOptions, ValuesAreTypedByNameSuffixOrInference) {
    const struct {
        const wchar_t* text;
        bool range;
        bool ok;
        HostValue::Kind kind;
    } cases[] = {
        {L"Amount=3", false, true, HostValue::Kind::Int},
        {L"Amount=0.5", false, true, HostValue::Kind::Float},
        {L"Amount=1,2,3", false, true, HostValue::Kind::Vector},
        {L"BorderColor=#FF0000", false, true, HostValue::Kind::String},
        {L"Amount:float=3", false, true, HostValue::Kind::Float},
        {L"Flag:bool=true", false, true, HostValue::Kind::Bool},
        {L"Flag:bool=maybe", false, false, HostValue::Kind::Bool},
        {L"Name:string=12", false, true, HostValue::Kind::String},
        {L"Amount:int=1.5", false, false, HostValue::Kind::Int},
        {L"Amount:matrix=1", false, false, HostValue::Kind::Int},
        // The product's own parameters keep their types: a number stays text here.
        {L"RelaxAspect=0", false, true, HostValue::Kind::String},
        {L"TextureFile=1", false, true, HostValue::Kind::String},
        {L"NumVerticesX=10", false, true, HostValue::Kind::Int},
        {L"NumVerticesX=ten", false, false, HostValue::Kind::Int},
        {L"=5", false, false, HostValue::Kind::Int},
        {L"NoValue", false, false, HostValue::Kind::Int},
    };
    for (const auto& c : cases) {
        HostParameter p;
        std::wstring error;
        EXPECT_EQ(ParseAssignment(c.text, c.range, p, error), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(p.from.kind, c.kind) << c.text;
        else
            EXPECT_FALSE(error.empty()) << c.text;
    }
}

TEST(ToolOptions, RangesKeyframeFloatsAndVectorsOnly) {
    HostParameter p;
    std::wstring error;
    ASSERT_TRUE(ParseAssignment(L"Radius=0..4", true, p, error));
    EXPECT_TRUE(p.keyframed);
    EXPECT_EQ(p.from.kind, HostValue::Kind::Float);
    EXPECT_EQ(p.from.f, 0.0f);
    EXPECT_EQ(p.to.f, 4.0f);
    ASSERT_TRUE(ParseAssignment(L"Dir:vector=1,0..0,1", true, p, error));
    EXPECT_EQ(p.to.v, (std::vector<float>{0.0f, 1.0f}));
    EXPECT_FALSE(ParseAssignment(L"Dir:vector=1,0..0,1,2", true, p, error));
    EXPECT_FALSE(ParseAssignment(L"Flag:bool=0..1", true, p, error));
    EXPECT_FALSE(ParseAssignment(L"Name:string=a..b", true, p, error));
    // Without ranges allowed (host parameters) the dots are part of the text.
    ASSERT_TRUE(ParseAssignment(L"TextureFile=..\\noise.png", false, p, error));
    EXPECT_FALSE(p.keyframed);
    EXPECT_EQ(p.from.s, L"..\\noise.png");
}

TEST(ToolOptions, CommandLineFillsOptionsAndRejectsTheRest) {
    Options o;
    std::wstring error;
    ASSERT_TRUE(ParseOptions(Split(L"--effect a.fx --technique T --from x.png --to y.png "
                                   L"--size 320x200 --frames 3 --grid 10x7 --out d --check "
                                   L"--registry --param A=1 --semantic B=0..1 --tolerance 0"),
                             o, error))
        << std::string(error.begin(), error.end());
    EXPECT_EQ(o.effect, L"a.fx");
    EXPECT_EQ(o.technique, L"T");
    EXPECT_EQ(o.from, L"x.png");
    EXPECT_EQ(o.to, L"y.png");
    EXPECT_EQ(o.width, 320u);
    EXPECT_EQ(o.height, 200u);
    EXPECT_EQ(o.frames, 3u);
    EXPECT_TRUE(o.framesGiven);
    EXPECT_EQ(o.gridX, 10u);
    EXPECT_EQ(o.gridY, 7u);
    EXPECT_EQ(o.out, L"d");
    EXPECT_TRUE(o.check && o.registry);
    EXPECT_EQ(o.tolerance, 0u);
    ASSERT_EQ(o.params.size(), 1u);
    ASSERT_EQ(o.semantics.size(), 1u);
    EXPECT_TRUE(o.semantics[0].keyframed);

    for (const wchar_t* bad :
         {L"--frames 0", L"--frames 10001", L"--frames x", L"--grid 1x2", L"--grid 257x256",
          L"--tolerance 256", L"--size", L"extra", L"--param"}) {
        Options fresh;
        error.clear();
        EXPECT_FALSE(ParseOptions(Split(bad), fresh, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(ToolOptions, ArgumentsSplitOnBlanksOutsideQuotes) {
    EXPECT_EQ(Split(L" --param  \"A=b c\"\t--grid 2x2 "),
              (std::vector<std::wstring>{L"--param", L"A=b c", L"--grid", L"2x2"}));
    EXPECT_EQ(Split(L"\"\""), (std::vector<std::wstring>{L""}));
    EXPECT_TRUE(Split(L"   ").empty());
}

TEST(InputSequences, NumberedImagesComeInNumberOrder) {
    const struct {
        std::vector<std::wstring> names;
        std::vector<std::wstring> ordered;
    } cases[] = {
        {{L"shot-10.png", L"shot-2.png", L"shot-1.png"},
         {L"shot-1.png", L"shot-2.png", L"shot-10.png"}},
        {{L"frame-0010.png", L"frame-0009.png", L"frame-0100.png"},
         {L"frame-0009.png", L"frame-0010.png", L"frame-0100.png"}},
        {{L"9.JPG", L"10.bmp", L"sheet.png", L"notes.txt", L"12.txt", L"3a.png"},
         {L"9.JPG", L"10.bmp"}},
        {{L"0.png", L"000.png", L"00000000000000000000001.png"},
         {L"0.png", L"000.png", L"00000000000000000000001.png"}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberedImages(c.names), c.ordered);
}

TEST(EffectScanning, FindsTechniquesSemanticsAndRenderLines) {
    const EffectScan scan = ScanEffect(R"(
// float Hidden : Commented;
//!render --grid 4x4
/* texture Gone : InputTexture5; */
texture From : InputTexture0;
float4 Colour : BorderColor = { 1, 0, 0, 1 };
float  Plain = 2.0;
sampler S = sampler_state { Texture = <From>; };
technique First { pass P { PixelShader = asm { ps_2_0 def c0, 1, 1, 1, 1 mov oC0, c0 }; } }
technique Second { pass P { float Inner : NotTopLevel; } }
)");
    EXPECT_EQ(scan.techniques, (std::vector<std::wstring>{L"First", L"Second"}));
    ASSERT_EQ(scan.parameters.size(), 2u);
    EXPECT_EQ(scan.parameters[0].semantic, L"InputTexture0");
    EXPECT_EQ(scan.parameters[1].type, L"float4");
    EXPECT_EQ(scan.parameters[1].name, L"Colour");
    EXPECT_EQ(scan.parameters[1].semantic, L"BorderColor");
    ASSERT_EQ(scan.renderLines.size(), 1u);
    EXPECT_EQ(scan.renderLines[0], L" --grid 4x4");
}

TEST(EffectScanning, BoundSemanticsMatchIgnoringCase) {
    for (const wchar_t* bound : {L"Time", L"TIME", L"inputtexture7", L"PixelSize",
                                 L"TextureAspect3", L"WorldViewProjection"})
        EXPECT_TRUE(IsBoundSemantic(bound)) << bound;
    for (const wchar_t* other : {L"InputTexture8", L"FadeColor", L"", L"Times"})
        EXPECT_FALSE(IsBoundSemantic(other)) << other;
}

} // namespace
