// quorvel-fxc on effect files: the assembly-only file reads back through the
// framework's parser with no HLSL left, keeps what was written, binds every
// global the shader reads, and fails with the framework's placed messages,
// writing nothing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "compiler/EffectMain.h"
#include "effect/HostContract.h"
#include "host/fx/FxSyntax.h"

namespace {

const char kPrelude[] = R"(texture Input : InputTexture0;
float4 Tint : TintColor < string UIName = "Tint"; > = { 1.0, 0.5, 0.25, 1.0 };
float Amount = 0.5;
row_major float4x4 M;
sampler Image = sampler_state { Texture = <Input>; MinFilter = Point; };
)";

const char kShade[] = R"(
// Remarks on Main go with it.
float4 Main(float2 uv : TEXCOORD0, uniform float scale = 1.0) : COLOR0
{
    return tex2D(Image, uv) * Tint * Amount * scale;
}
)";

class Folder {
  public:
    Folder() {
        char name[] = "/tmp/effect-mode-XXXXXX";
        m_path = mkdtemp(name);
    }
    ~Folder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = m_path + "/" + name;
        mkdir(path.substr(0, path.find_last_of('/')).c_str(), 0755);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct OutputCase {
    const char* name;
    const char* include; // written as inc/shared.fxh when set
    const char* effect;
    std::vector<const char*> present;
    std::vector<const char*> absent;
};

const OutputCase kOutputCases[] = {
    {"a pass binds the globals after the shader",
     nullptr,
     "technique T { pass P { VertexShader = NULL;\n"
     "  PixelShader = compile ps_2_0 Main(); AlphaBlendEnable = TRUE; } }",
     {"PixelShader = asm", "ps_2_0", "Sampler[0] = <Image>;", "PixelShaderConstant1[0] = <Tint>;",
      "PixelShaderConstant1[1] = <Amount>;", "AlphaBlendEnable = TRUE;",
      "< string UIName = \"Tint\"; > = { 1.0, 0.5, 0.25, 1.0 };",
      "sampler Image = sampler_state { Texture = <Input>; MinFilter = Point; };"},
     {"compile ps_", "tex2D", "Remarks on Main", "uniform float scale"}},
    {"a shader variable binds in every pass that names it",
     nullptr,
     "PixelShader Shade = compile ps_2_0 Main(2.0);\n"
     "technique T { pass A { PixelShader = <Shade>; } pass B { PixelShader = (Shade); } }",
     {"PixelShader Shade = asm", "PixelShader = <Shade>;\nSampler[0] = <Image>;",
      "PixelShader = (Shade);\nSampler[0] = <Image>;"},
     {"compile ps_"}},
    {"an include is inlined, its directive and heading gone, the rest in order",
     "// Heading of the shared file.\nfloat Shared = 0.25;\n"
     "float4 Helper(float4 c) { return c * Shared; }\n",
     "//!render --semantic TintColor=teal\n#include \"inc/shared.fxh\"\n"
     "float4 Other(float2 uv : TEXCOORD0) : COLOR0 { return Helper(tex2D(Image, uv)); }\n"
     "technique T { pass { PixelShader = compile ps_2_0 Other(); } }",
     {"//!render --semantic TintColor=teal\nfloat Shared = 0.25;", "= <Shared>;"},
     {"#include", "Heading of the shared file", "Helper"}},
};

class EffectOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(EffectOutput, ReadsBackWithoutHlsl) {
    const OutputCase& c = GetParam();
    Folder folder;
    if (c.include)
        folder.Write("inc/shared.fxh", c.include);
    const std::string path =
        folder.Write("effect.fx", std::string(kPrelude) + kShade + c.effect + "\n");
    std::string output, messages;
    ASSERT_TRUE(qc::CompileEffectFile(path, output, messages)) << messages;
    fx::Effect effect;
    std::string problems;
    ASSERT_TRUE(fx::ParseEffect(output, "out.fx", nullptr, effect, problems)) << problems << output;
    EXPECT_TRUE(effect.hlsl.functions.empty()) << output;
    EXPECT_TRUE(effect.hlsl.itemTokens.empty()) << output;
    for (const char* text : c.present)
        EXPECT_NE(output.find(text), std::string::npos) << "missing: " << text << "\n" << output;
    for (const char* text : c.absent)
        EXPECT_EQ(output.find(text), std::string::npos) << "left: " << text << "\n" << output;
}

INSTANTIATE_TEST_SUITE_P(Cases, EffectOutput, ::testing::ValuesIn(kOutputCases),
                         [](const ::testing::TestParamInfo<OutputCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// A nest of includes one deeper than the product allows.
std::string DeepIncludes(const Folder& folder) {
    for (size_t i = 1; i <= quorvel::kMaxIncludeDepth; ++i)
        folder.Write("deep" + std::to_string(i) + ".fxh",
                     "#include \"deep" + std::to_string(i + 1) + ".fxh\"\n");
    return "#include \"deep1.fxh\"\n";
}

struct ErrorCase {
    const char* name;
    const char* effect;  // after the prelude and Main (11 lines)
    const char* message; // the first line, the folder written as DIR
};

const ErrorCase kErrorCases[] = {
    {"an undeclared name in an included file is placed there",
     "#include \"inc/shared.fxh\"\n"
     "technique T { pass { PixelShader = compile ps_2_0 Broken(); } }",
     "DIR/inc/shared.fxh(2,35): error X3004: undeclared identifier 'Missing'"},
    {"a missing include", "#include \"nothere.fxh\"\n",
     "DIR/effect.fx(12,1): error X1507: failed to open source file: 'nothere.fxh'"},
    {"includes nested too deeply", nullptr, "error X1508: #include nested too deeply"},
    {"a pixel entry compiled for a vertex shader",
     "technique T { pass { VertexShader = compile ps_2_0 Main(); } }",
     "DIR/effect.fx(12,52): error X3000: a vertex shader cannot be compiled for ps_2_0"},
    {"an entry that is not defined",
     "technique T { pass { PixelShader = compile ps_2_0 Nope(); } }",
     "DIR/effect.fx(12,51): error X3004: undeclared identifier 'Nope'"},
    {"an HLSL error in the effect's own text",
     "float4 Bad(float2 uv : TEXCOORD0) : COLOR0 { return Missing; }\n"
     "technique T { pass { PixelShader = compile ps_2_0 Bad(); } }",
     "DIR/effect.fx(12,53): error X3004: undeclared identifier 'Missing'"},
};

class EffectErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(EffectErrors, PlacedAndNothingWritten) {
    const ErrorCase& c = GetParam();
    Folder folder;
    folder.Write("inc/shared.fxh", "// Shared.\nfloat4 Broken() : COLOR0 { return Missing; }\n");
    const std::string tail = c.effect ? c.effect : DeepIncludes(folder);
    const std::string path =
        folder.Write("effect.fx", std::string(kPrelude) + kShade + tail + "\n");
    std::string output, messages;
    EXPECT_FALSE(qc::CompileEffectFile(path, output, messages));
    std::string expected = c.message;
    if (expected.compare(0, 3, "DIR") == 0)
        expected = folder.Path() + expected.substr(3);
    EXPECT_NE(messages.find(expected), std::string::npos) << messages;

    // The command leaves an existing output as it was.
    const std::string out = folder.Write("out.fx", "before\n");
    std::vector<std::string> words = {"quorvel-fxc", path, "-o", out};
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    testing::internal::CaptureStderr();
    EXPECT_EQ(qc::EffectMain(static_cast<int>(argv.size()), argv.data()), 1);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find(expected), std::string::npos) << printed;
    EXPECT_EQ(ReadAll(out), "before\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, EffectErrors, ::testing::ValuesIn(kErrorCases),
                         [](const ::testing::TestParamInfo<ErrorCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

} // namespace
