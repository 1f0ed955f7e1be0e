// The render tool's command line, "//!render" lines and diagnostics, rule by rule.

#include "host/render/Diagnostics.h"
#include "host/render/EffectDeclarations.h"
#include "host/render/HResultText.h"
#include "host/render/InputSequence.h"
#include "host/render/Options.h"
#include "host/render/Report.h"

#include <d3d9.h>

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

TEST(EffectScanning, FindsRenderLinesOnlyInComments) {
    const std::vector<std::wstring> lines = RenderLines(R"(
// float Hidden : Commented;
//!render --grid 4x4
/* //!render --frames 2 */
string S = "//!render --frames 3";
float4 Colour : BorderColor = { 1, 0, 0, 1 }; //!render --size 8x8
)");
    EXPECT_EQ(lines, (std::vector<std::wstring>{L" --grid 4x4", L" --size 8x8"}));
}

TEST(EffectScanning, BoundSemanticsMatchIgnoringCase) {
    for (const wchar_t* bound : {L"Time", L"TIME", L"inputtexture7", L"PixelSize",
                                 L"TextureAspect3", L"WorldViewProjection"})
        EXPECT_TRUE(IsBoundSemantic(bound)) << bound;
    for (const wchar_t* other : {L"InputTexture8", L"FadeColor", L"", L"Times"})
        EXPECT_FALSE(IsBoundSemantic(other)) << other;
}

Options WithSemantics(const std::vector<std::wstring>& assignments, bool params = false) {
    Options o;
    for (const std::wstring& text : assignments) {
        HostParameter p;
        std::wstring error;
        EXPECT_TRUE(ParseAssignment(text, !params, p, error))
            << std::string(text.begin(), text.end());
        (params ? o.params : o.semantics).push_back(p);
    }
    return o;
}

TEST(Diagnostics, NamesThatMatchNothingAreReportedWithTheClosestDeclared) {
    EffectDeclarations scan;
    scan.parameters = {{L"texture", L"In", L"InputTexture0"},
                       {L"float", L"A", L"Amount"},
                       {L"float4", L"C", L"TintColor"},
                       {L"float", L"R", L"BlurRadius"}};
    const struct {
        std::vector<std::wstring> semantics;
        std::vector<std::wstring> params;
        const wchar_t* expected; // empty: no report
    } cases[] = {
        {{L"Amount=1"}, {}, L""},
        {{L"AMOUNT=1"}, {}, L""}, // semantics match ignoring case
        {{L"Amout=1"},
         {},
         L"--semantic Amout matches no semantic the effect declares; closest: Amount"},
        {{L"TintColour=red"}, {}, L"closest: TintColor"},
        {{},
         {L"InputTextur3=a.png"},
         L"--param InputTextur3 is no host parameter Quorvel reads; closest: InputTexture3"},
        {{}, {L"BlurRadius=3"}, L"declares it as a semantic: use --semantic BlurRadius"},
        {{}, {L"NumVerticesX=4"}, L""},
    };
    for (const auto& c : cases) {
        Options o = WithSemantics(c.semantics);
        o.params = WithSemantics(c.params, true).params;
        const std::vector<std::wstring> lines = UnmatchedValues(o, scan);
        if (*c.expected == L'\0') {
            EXPECT_TRUE(lines.empty()) << std::string(lines[0].begin(), lines[0].end());
            continue;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(c.expected), std::wstring::npos)
            << std::string(lines[0].begin(), lines[0].end());
    }
    Options fromFile = WithSemantics({L"Amout=1"});
    fromFile.semantics[0].fromFile = true;
    EXPECT_EQ(UnmatchedValues(fromFile, scan)[0].rfind(L"//!render --semantic Amout", 0), 0u);
}

TEST(Diagnostics, DeliveryFollowsTheHostsValueRules) {
    const struct {
        const wchar_t* assignment;
        bool dropped, doubtful;
        const wchar_t* text;
    } cases[] = {
        {L"Amount=0.5", false, false, L"the float 0.5"},
        {L"Amount=0..1", false, false, L"keyframed"},
        {L"Label=hello", true, false, L"dropped"},
        {L"BorderColor=navy", false, false, L"the colour (0, 0, 0.501961, 1)"},
        {L"bordercolor=#FF0000", false, false, L"the colour (1, 0, 0, 1)"},
        {L"BorderColor=#GG0000", false, true, L"is not a colour"},
        {L"BorderColor=grey", false, true, L"(0, 0, 0, 0)"},
        {L"Dir:vector=1,2,3,4,5", false, true, L"only x is set"},
        {L"Dir:vector=1,2", false, false, L"a float4 from 2 floats"},
    };
    for (const auto& c : cases) {
        const Options o = WithSemantics({c.assignment});
        const Delivery d = DescribeDelivery(o.semantics[0]);
        EXPECT_EQ(d.dropped, c.dropped) << std::string(d.text.begin(), d.text.end());
        EXPECT_EQ(d.doubtful, c.doubtful) << std::string(d.text.begin(), d.text.end());
        EXPECT_NE(d.text.find(c.text), std::wstring::npos)
            << std::string(d.text.begin(), d.text.end());
    }
}

TEST(Diagnostics, TextureSlotsFollowTheHostsOrder) {
    const Options o = WithSemantics(
        {L"MaskName=m.png", L"InputTexture2=i.png", L"InputTexture5=five.png", L"InputTexture6="},
        true);
    std::wstring parameter;
    EXPECT_EQ(TextureForSlot(o.params, 2, parameter), L"m.png");
    EXPECT_EQ(parameter, L"MaskName");
    EXPECT_EQ(TextureForSlot(o.params, 5, parameter), L"five.png");
    EXPECT_EQ(TextureForSlot(o.params, 6, parameter), L"");
    EXPECT_EQ(TextureForSlot(o.params, 3, parameter), L"");
}

TEST(Diagnostics, OnlyTheToolsOwnFilesCountAsEarlierOutput) {
    const struct {
        const wchar_t* name;
        bool render, check;
    } cases[] = {
        {L"frame-0000.png", true, false},
        {L"FRAME-0042.PNG", true, false},
        {L"sheet.png", true, false},
        {L"check-time1.png", false, true},
        {L"check-diff-time0.png", false, true},
        {L"frame-00001.png", false, false},
        {L"frame-000a.png", false, false},
        {L"frame-0000.png.bak", false, false},
        {L"my-frame-0000.png", false, false},
        {L"sheet2.png", false, false},
        {L"notes.txt", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsToolOutput(c.name, false), c.render)
            << std::string(c.name, c.name + wcslen(c.name));
        EXPECT_EQ(IsToolOutput(c.name, true), c.check)
            << std::string(c.name, c.name + wcslen(c.name));
    }
}

TEST(Diagnostics, FirstBadPixelIsTheFirstBeyondTheTolerance) {
    std::vector<DWORD> expected(12, 0xFF102030u), rendered = expected;
    rendered[5] = 0xFF102031u; // within a tolerance of 1
    rendered[7] = 0x00102030u; // alpha is the host's, not compared
    rendered[10] = 0xFF132030u;
    const BadPixel bad = FirstBadPixel(rendered, expected, 4, 1);
    ASSERT_TRUE(bad.found);
    EXPECT_EQ(bad.x, 2u);
    EXPECT_EQ(bad.y, 2u);
    EXPECT_FALSE(FirstBadPixel(expected, expected, 4, 0).found);
    const std::vector<DWORD> image = DifferenceImage(rendered, expected, 1);
    EXPECT_EQ(image[0], 0xFF000000u);
    EXPECT_GE((image[10] >> 16) & 0xFF, 64u);
}

TEST(Diagnostics, HResultsAreDescribedInWords) {
    const struct {
        HRESULT hr;
        const char* text;
    } cases[] = {
        {D3DERR_INVALIDCALL, "0x8876086C D3DERR_INVALIDCALL: an invalid call"},
        {static_cast<HRESULT>(0x88760B59), "0x88760B59 D3DXERR_INVALIDDATA: "},
        {E_FAIL, "0x80004005 E_FAIL: failure, no detail given"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "0x80070002: "},
        {static_cast<HRESULT>(0xA1234567), "0xA1234567: "},
    };
    for (const auto& c : cases) {
        const std::wstring text = DescribeHResult(c.hr);
        EXPECT_EQ(std::string(text.begin(), text.end()).find(c.text), 0u)
            << std::string(text.begin(), text.end());
        EXPECT_GT(text.size(), 12u);
    }
}

// The report is read by scripts with a JSON parser: every text escaped, UTF-8,
// no verdict or sheet without a check or a render; written whole or not at all.
TEST(Report, JsonEscapesEveryTextAndIsWrittenWhole) {
    Report report;
    report.effect = L"C:\\fx\\\"q\"\u00e9.fx";
    report.errors = {L"line\none\ttab\x01"};
    std::string json = ReportJson(report);
    EXPECT_NE(json.find(std::string(R"("effect": "C:\\fx\\\"q\")") + "\xc3\xa9.fx\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("errors": ["line\u000aone\u0009tab\u0001"])"), std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("verdict": null)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("sheet": null)"), std::string::npos) << json;

    report.verdict = L"failed";
    report.rules = {{true, L"renders at Time 0"}, {false, L"Time 1"}};
    report.frames = {L"frame-0000.png"};
    json = ReportJson(report);
    EXPECT_NE(json.find(R"("verdict": "failed")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"({"ok": false, "text": "Time 1"})"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("frames": ["frame-0000.png"])"), std::string::npos) << json;

    wchar_t folder[MAX_PATH];
    ASSERT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"quorvel-report-test.json";
    ASSERT_TRUE(WriteReport(report, path));
    EXPECT_EQ(::GetFileAttributesW((path + L".partial").c_str()), INVALID_FILE_ATTRIBUTES);
    ::DeleteFileW(path.c_str());
    // A folder that does not exist: no report, no partial file left behind.
    const std::wstring nowhere = std::wstring(folder) + L"no-such-folder\\report.json";
    EXPECT_FALSE(WriteReport(report, nowhere));
    EXPECT_EQ(::GetFileAttributesW((nowhere + L".partial").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
