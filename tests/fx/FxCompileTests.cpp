// Compiling effect text: includes, error messages, robustness, descriptions
// and the parameter conversions.

#include "tests/fx/FxTestDevice.h"

#include "tests/support/TestSupport.h"

#include <cstring>
#include <map>

namespace fxtest {
namespace {

using quorvel::ComPtr;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}

const char kMarkerTechnique[] =
    "technique T { pass { PixelShader = asm { ps_2_0 mov oC0, c0 }; } }\n";

// Sets the current folder for the scope.
class ScopedCurrentFolder {
  public:
    explicit ScopedCurrentFolder(const std::wstring& folder) {
        wchar_t old[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, old);
        m_old = old;
        EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    }
    ~ScopedCurrentFolder() { SetCurrentDirectoryW(m_old.c_str()); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

  private:
    std::wstring m_old;
};

struct IncludeCase {
    const char* name;
    // Files relative to the effect's folder ("main.fx" is compiled) and to
    // the current folder ("cwd/...").
    std::vector<std::pair<std::wstring, std::string>> files;
    bool succeeds;
    const char* messagePart;
};

const IncludeCase kIncludeCases[] = {
    {"beside the effect",
     {{L"main.fx", "#include \"sub.fxh\"\n"}, {L"sub.fxh", "float4 Found : Marker;\n"}},
     true,
     nullptr},
    {"in the current folder",
     {{L"main.fx", "#include \"only_here.fxh\"\n"},
      {L"cwd/only_here.fxh", "float4 Found : Marker;\n"}},
     true,
     nullptr},
    {"nested, beside the including file",
     {{L"main.fx", "#include \"inc/a.fxh\"\n"},
      {L"inc/a.fxh", "#include \"b.fxh\"\n"},
      {L"inc/b.fxh", "float4 Found : Marker;\n"}},
     true,
     nullptr},
    {"nested, beside a file further out",
     {{L"main.fx", "#include \"inc/a.fxh\"\n"},
      {L"inc/a.fxh", "#include \"top.fxh\"\n"},
      {L"top.fxh", "float4 Found : Marker;\n"}},
     true,
     nullptr},
    {"angle brackets",
     {{L"main.fx", "#include <sub.fxh>\n"}, {L"sub.fxh", "float4 Found : Marker;\n"}},
     true,
     nullptr},
    {"missing",
     {{L"main.fx", "float a;\n  #include \"missing.fxh\"\n"}},
     false,
     "main.fx(2,3): error X1507: failed to open source file: 'missing.fxh'"},
    {"missing inside an include",
     {{L"main.fx", "#include \"sub.fxh\"\n"}, {L"sub.fxh", "\n#include \"deeper.fxh\"\n"}},
     false,
     "sub.fxh(2,1): error X1507: failed to open source file: 'deeper.fxh'"},
    {"beside an effect in a folder outside the code page",
     {{L"\u0434\u0430/main.fx", "#include \"sub.fxh\"\n"},
      {L"\u0434\u0430/sub.fxh", "float4 Found : Marker;\n"}},
     true,
     nullptr},
    {"including itself", {{L"main.fx", "#include \"main.fx\"\n"}}, false, "error X1508"},
};

class FxIncludes : public FxDeviceTest, public ::testing::WithParamInterface<IncludeCase> {};

TEST_P(FxIncludes, ResolveBesideTheIncluderThenInTheCurrentFolder) {
    const IncludeCase& c = GetParam();
    ScratchFolder folder;
    ScratchFolder current;
    for (const auto& [name, text] : c.files) {
        const bool inCurrent = name.compare(0, 4, L"cwd/") == 0;
        const std::wstring path = inCurrent ? current / name.substr(4) : folder / name;
        std::string body = text;
        if (name.size() >= 7 && name.compare(name.size() - 7, 7, L"main.fx") == 0)
            body += kMarkerTechnique;
        ASSERT_TRUE(WriteFileBytes(path, body));
    }
    ScopedCurrentFolder cwd(current.path());
    ComPtr<ID3DXEffect> effect;
    ComPtr<ID3DXBuffer> messages;
    std::wstring main = folder / L"main.fx";
    for (const auto& file : c.files) {
        if (file.first.size() > 7 && file.first.compare(file.first.size() - 7, 7, L"main.fx") == 0)
            main = folder / file.first;
    }
    const HRESULT hr = D3DXCreateEffectFromFileW(m_spDevice.get(), main.c_str(), nullptr, nullptr,
                                                 0, nullptr, effect.put(), messages.put());
    const std::string text = MessagesText(messages.get());
    if (c.succeeds) {
        ASSERT_EQ(hr, S_OK) << text;
        ASSERT_TRUE(effect);
        EXPECT_NE(effect->GetParameterBySemantic(nullptr, "MARKER"), nullptr);
        EXPECT_FALSE(messages);
    } else {
        EXPECT_TRUE(FAILED(hr));
        EXPECT_FALSE(effect);
        EXPECT_NE(text.find(c.messagePart), std::string::npos) << text;
        EXPECT_NE(text.find(Narrow(folder.path())), std::string::npos) << text;
        ASSERT_TRUE(messages);
        EXPECT_REF(messages.get(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FxIncludes, ::testing::ValuesIn(kIncludeCases),
                         [](const ::testing::TestParamInfo<IncludeCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

TEST_F(FxDeviceTest, TextFromMemoryResolvesNoInclude) {
    ScratchFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder / L"present.fxh", "float4 Found : Marker;\n"));
    ScopedCurrentFolder cwd(folder.path());
    HRESULT hr = S_OK;
    std::string messages;
    ComPtr<ID3DXEffect> effect =
        Compile(std::string("#include \"present.fxh\"\n") + kMarkerTechnique, &hr, &messages);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_FALSE(effect);
    EXPECT_NE(messages.find("memory(1,1): error X1507: failed to open source file: 'present.fxh'"),
              std::string::npos)
        << messages;
}

// Text as the product's own include expansion hands it over: comments gone,
// included text spliced in, CRLF line ends, no final line break.
TEST_F(FxDeviceTest, CompilesExpandedTextFromMemory) {
    const std::string text = "float4 Shared : SharedColour;\r\nfloat Amount : Amount;"
                             "\r\n\r\ntexture Input : InputTexture0;\r\n"
                             "technique Main\r\n{\r\n pass P\r\n {\r\n"
                             "  PixelShaderConstantF[0] = <Shared>;\r\n"
                             "  PixelShader = asm {\r\n   ps_2_0\r\n   mov oC0, c0\r\n  };\r\n"
                             " }\r\n}";
    ComPtr<ID3DXEffect> effect = Compile(text);
    ASSERT_TRUE(effect);
    EXPECT_NE(effect->GetParameterBySemantic(nullptr, "sharedcolour"), nullptr);
    EXPECT_NE(effect->GetParameterBySemantic(nullptr, "InputTexture0"), nullptr);
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, "InputTexture1"), nullptr);
    EXPECT_EQ(effect->SetTechnique("Main"), D3D_OK);
    const D3DXVECTOR4 blue(0, 0, 1, 1);
    ASSERT_EQ(effect->SetVector("Shared", &blue), D3D_OK);
    Draw(effect.get());
    EXPECT_TRUE(InteriorIs(ReadBack(), 0xFF0000FF, 0));
}

TEST_F(FxDeviceTest, TextEndsAtItsFirstZeroByte) {
    const std::string text = std::string("float4 Found : Marker;\n") + kMarkerTechnique +
                             std::string(1, '\0') + "not effect text {";
    ComPtr<ID3DXEffect> effect = Compile(text);
    ASSERT_TRUE(effect);
    EXPECT_NE(effect->GetParameterBySemantic(nullptr, "Marker"), nullptr);
}

struct SyntaxCase {
    const char* text;
    const char* message;
};

const SyntaxCase kSyntaxCases[] = {
    {"float4 a;\ntechnique T {\n    pas P { }\n}\n",
     "memory(3,5): error X3000: syntax error: unexpected token 'pas'"},
    {"float a = 1\ntechnique T { }\n",
     "memory(2,1): error X3000: syntax error: unexpected token 'technique'"},
    {"technique T { pass { CullMode = SIDEWAYS; } }", "memory(1,33): error X3000: invalid value"},
    {"technique T { pass { NoSuchState = 1; } }",
     "memory(1,22): error X3000: unknown state 'NoSuchState'"},
    {"technique T { pass { Texture[0] = <Missing>; } }",
     "memory(1,36): error X3004: undeclared identifier 'Missing'"},
    {"float4 v = {1, 2};", "memory(1,12): error X3017"},
    {"/* open", "memory(1,1): error X3000: unterminated comment"},
    {"technique T { pass { PixelShader = compile ps_2_0 main(); } }",
     "memory(1,51): error X3004: undeclared identifier 'main'"},
    {"technique T { pass { PixelShader = asm { ps_2_0 mov oC0, q7 }; } }",
     "memory(1,41): error X5000: shader assembly failed"},
    {"technique T {", "memory(1,14): error X3000: syntax error: unexpected end of file"},
    {"#define X 1\n", "memory(1,1): error X1000: unsupported preprocessor directive '#define'"},
    {"float a; float a;", "memory(1,16): error X3003: redefinition of 'a'"},
    {"texture a[4];", "memory(1,11): error X3000: arrays of texture are not supported"},
    {"float4x4 a[65];",
     "memory(1,12): error X3000: an array here takes 1 to 256 constant registers"},
    {"float a : register(c0;", "memory(1,22): error X3000: syntax error: unexpected token ';'"},
    {"float a = 1;\n\x01", "memory(2,1): error X3000: syntax error: unexpected character 0x01"},
};

class FxSyntaxErrors : public FxDeviceTest, public ::testing::WithParamInterface<SyntaxCase> {};

TEST_P(FxSyntaxErrors, FailWithTheirPosition) {
    HRESULT hr = S_OK;
    std::string messages;
    ComPtr<ID3DXEffect> effect = Compile(GetParam().text, &hr, &messages);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_FALSE(effect);
    EXPECT_EQ(messages.find(GetParam().message), 0u) << messages;
    // The assembler's own words follow.
    if (strstr(GetParam().message, "X5000")) {
        EXPECT_GT(messages.find('\n'), 0u);
        EXPECT_LT(messages.find('\n') + 1, messages.size()) << messages;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FxSyntaxErrors, ::testing::ValuesIn(kSyntaxCases));

// Every prefix and many byte changes of a valid effect: each compiles or
// fails with a message; none crashes.
TEST_F(FxDeviceTest, DamagedTextNeverCrashes) {
    const std::string valid = R"(float4 c : Tint < string UIName = "t"; > = {1, 0, 0, 1};
texture t : InputTexture0;
sampler s = sampler_state { Texture = <t>; MinFilter = LINEAR; };
technique A { pass B { Sampler[0] = <s>; AlphaBlendEnable = true;
  PixelShaderConstantF[0] = <c>; PixelShader = asm { ps_2_0 mov oC0, c0 }; } }
)";
    const char replacements[] = {'\0', '{', '}', '<', '>', ';', '"',
                                 '#',  '[', '-', 'x', '9', '/', '*'};
    std::vector<std::string> texts;
    for (size_t n = 0; n <= valid.size(); ++n)
        texts.push_back(valid.substr(0, n));
    for (size_t i = 0; i < valid.size(); i += 3) {
        std::string damaged = valid;
        damaged[i] = replacements[i % sizeof replacements];
        texts.push_back(damaged);
    }
    for (const std::string& text : texts) {
        if (text.empty())
            continue;
        HRESULT hr = S_OK;
        std::string messages;
        ComPtr<ID3DXEffect> effect = Compile(text, &hr, &messages);
        if (FAILED(hr)) {
            EXPECT_FALSE(effect);
            EXPECT_NE(messages.find("error X"), std::string::npos) << text;
        } else {
            EXPECT_TRUE(effect) << text;
        }
    }
}

TEST_F(FxDeviceTest, BadArgumentsAreRefused) {
    ComPtr<ID3DXEffect> effect;
    ComPtr<ID3DXBuffer> messages;
    const char text[] = "float a;";
    EXPECT_EQ(D3DXCreateEffect(nullptr, text, 8, nullptr, nullptr, 0, nullptr, effect.put(),
                               messages.put()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(m_spDevice.get(), text, 8, nullptr, nullptr, 0, nullptr, nullptr,
                               messages.put()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(m_spDevice.get(), nullptr, 8, nullptr, nullptr, 0, nullptr,
                               effect.put(), messages.put()),
              D3DERR_INVALIDCALL);
    EXPECT_FALSE(effect);
    EXPECT_FALSE(messages);
    ScratchFolder folder;
    EXPECT_EQ(D3DXCreateEffectFromFileW(m_spDevice.get(), (folder / L"absent.fx").c_str(), nullptr,
                                        nullptr, 0, nullptr, effect.put(), messages.put()),
              D3DXERR_INVALIDDATA);
    EXPECT_FALSE(effect);
    // Without a messages slot a failure still fails.
    EXPECT_EQ(D3DXCreateEffect(m_spDevice.get(), "x", 1, nullptr, nullptr, 0, nullptr, effect.put(),
                               nullptr),
              E_FAIL);
}

TEST_F(FxDeviceTest, DescribesItsParametersAndTechniques) {
    ComPtr<ID3DXEffect> effect = Compile(R"(
float Time : TIME;
float4 Size : OutputSize = {1, 2, 3, 4};
row_major float4x4 M : WorldViewProjection;
float4x4 N;
int Count : count;
bool Flag;
texture2D Image : InputTexture1;
sampler2D Smp = sampler_state { Texture = <Image>; };
string Description = "two passes";
technique First { pass One { } pass Two { PixelShader = asm { ps_2_0 mov oC0, c0 }; } }
technique { pass { } }
)");
    ASSERT_TRUE(effect);
    D3DXEFFECT_DESC desc{};
    ASSERT_EQ(effect->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Parameters, 9u);
    EXPECT_EQ(desc.Techniques, 2u);
    struct Expected {
        const char* name;
        const char* semantic;
        D3DXPARAMETER_CLASS cls;
        D3DXPARAMETER_TYPE type;
        UINT rows, columns;
    };
    const Expected expected[] = {
        {"Time", "TIME", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1},
        {"Size", "OutputSize", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4},
        {"M", "WorldViewProjection", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 4, 4},
        {"N", nullptr, D3DXPC_MATRIX_COLUMNS, D3DXPT_FLOAT, 4, 4},
        {"Count", "count", D3DXPC_SCALAR, D3DXPT_INT, 1, 1},
        {"Flag", nullptr, D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1},
        {"Image", "InputTexture1", D3DXPC_OBJECT, D3DXPT_TEXTURE, 1, 1},
        {"Smp", nullptr, D3DXPC_OBJECT, D3DXPT_SAMPLER, 1, 1},
        {"Description", nullptr, D3DXPC_OBJECT, D3DXPT_STRING, 1, 1},
    };
    for (UINT i = 0; i < desc.Parameters; ++i) {
        SCOPED_TRACE(expected[i].name);
        D3DXHANDLE h = effect->GetParameter(nullptr, i);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(effect->GetParameterByName(nullptr, expected[i].name), h);
        D3DXPARAMETER_DESC p{};
        ASSERT_EQ(effect->GetParameterDesc(h, &p), D3D_OK);
        EXPECT_STREQ(p.Name, expected[i].name);
        if (expected[i].semantic) {
            EXPECT_STREQ(p.Semantic, expected[i].semantic);
        } else {
            EXPECT_EQ(p.Semantic, nullptr);
        }
        EXPECT_EQ(p.Class, expected[i].cls);
        EXPECT_EQ(p.Type, expected[i].type);
        EXPECT_EQ(p.Rows, expected[i].rows);
        EXPECT_EQ(p.Columns, expected[i].columns);
    }
    EXPECT_EQ(effect->GetParameter(nullptr, desc.Parameters), nullptr);
    const char* description = nullptr;
    ASSERT_EQ(effect->GetString("Description", &description), D3D_OK);
    EXPECT_STREQ(description, "two passes");
    D3DXTECHNIQUE_DESC t{};
    ASSERT_EQ(effect->GetTechniqueDesc(effect->GetTechnique(0), &t), D3D_OK);
    EXPECT_STREQ(t.Name, "First");
    EXPECT_EQ(t.Passes, 2u);
    D3DXPASS_DESC pass{};
    ASSERT_EQ(effect->GetPassDesc(effect->GetPass("First", 1), &pass), D3D_OK);
    EXPECT_STREQ(pass.Name, "Two");
    EXPECT_NE(pass.pPixelShaderFunction, nullptr);
    EXPECT_EQ(pass.pVertexShaderFunction, nullptr);
    EXPECT_EQ(effect->GetPassByName("First", "One"), effect->GetPass("First", 0));
    ASSERT_EQ(effect->GetTechniqueDesc(effect->GetTechnique(1), &t), D3D_OK);
    EXPECT_EQ(t.Name, nullptr);
    EXPECT_EQ(t.Passes, 1u);
    EXPECT_EQ(effect->GetTechnique(2), nullptr);
    D3DXPARAMETER_DESC unused{};
    EXPECT_EQ(effect->GetParameterDesc(nullptr, &unused), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetParameterDesc("NoSuchName", &unused), D3DERR_INVALIDCALL);
}

struct ConversionCase {
    const char* name;
    const char* declaration; // of the parameter "P"
    std::function<void(ID3DXEffect*)> check;
};

const ConversionCase kConversions[] = {
    {"float to int truncates", "int P;",
     [](ID3DXEffect* e) {
         ASSERT_EQ(e->SetFloat("P", 2.7f), D3D_OK);
         INT n = 0;
         ASSERT_EQ(e->GetInt("P", &n), D3D_OK);
         EXPECT_EQ(n, 2);
     }},
    {"int to float", "float P;",
     [](ID3DXEffect* e) {
         ASSERT_EQ(e->SetInt("P", 3), D3D_OK);
         FLOAT f = 0;
         ASSERT_EQ(e->GetFloat("P", &f), D3D_OK);
         EXPECT_EQ(f, 3.0f);
     }},
    {"bool to float", "float P;",
     [](ID3DXEffect* e) {
         ASSERT_EQ(e->SetBool("P", 7), D3D_OK);
         FLOAT f = 0;
         ASSERT_EQ(e->GetFloat("P", &f), D3D_OK);
         EXPECT_EQ(f, 1.0f);
     }},
    {"int to bool", "bool P;",
     [](ID3DXEffect* e) {
         ASSERT_EQ(e->SetInt("P", 5), D3D_OK);
         WINBOOL b = FALSE;
         ASSERT_EQ(e->GetBool("P", &b), D3D_OK);
         EXPECT_EQ(b, TRUE);
         ASSERT_EQ(e->SetFloat("P", 0.0f), D3D_OK);
         ASSERT_EQ(e->GetBool("P", &b), D3D_OK);
         EXPECT_EQ(b, FALSE);
     }},
    {"vector packed into an int colour", "int P;",
     [](ID3DXEffect* e) {
         const D3DXVECTOR4 v(1, 0, 0, 1);
         ASSERT_EQ(e->SetVector("P", &v), D3D_OK);
         INT n = 0;
         ASSERT_EQ(e->GetInt("P", &n), D3D_OK);
         EXPECT_EQ(static_cast<DWORD>(n), 0xFFFF0000u);
     }},
    {"vector cut to float2", "float2 P;",
     [](ID3DXEffect* e) {
         const D3DXVECTOR4 v(1, 2, 3, 4);
         ASSERT_EQ(e->SetVector("P", &v), D3D_OK);
         D3DXVECTOR4 out(9, 9, 9, 9);
         ASSERT_EQ(e->GetVector("P", &out), D3D_OK);
         EXPECT_EQ(out, D3DXVECTOR4(1, 2, 0, 0));
     }},
    {"matrix stored by columns", "float4x4 P;",
     [](ID3DXEffect* e) {
         D3DXMATRIX m;
         for (int i = 0; i < 16; ++i)
             m.m[i / 4][i % 4] = static_cast<float>(i);
         ASSERT_EQ(e->SetMatrix("P", &m), D3D_OK);
         D3DXMATRIX back;
         ASSERT_EQ(e->GetMatrix("P", &back), D3D_OK);
         EXPECT_EQ(back, m);
         float raw[16] = {};
         ASSERT_EQ(e->GetValue("P", raw, sizeof raw), D3D_OK);
         EXPECT_EQ(raw[1], 4.0f);
         ASSERT_EQ(e->SetMatrixTranspose("P", &m), D3D_OK);
         ASSERT_EQ(e->GetMatrix("P", &back), D3D_OK);
         EXPECT_EQ(back.m[0][1], 4.0f);
     }},
    {"refused between kinds", "float4 P; float4x4 Q; texture T;",
     [](ID3DXEffect* e) {
         D3DXMATRIX m;
         D3DXMatrixIdentity(&m);
         const D3DXVECTOR4 v(0, 0, 0, 0);
         EXPECT_EQ(e->SetFloat("P", 1.0f), D3DERR_INVALIDCALL);
         EXPECT_EQ(e->SetMatrix("P", &m), D3DERR_INVALIDCALL);
         EXPECT_EQ(e->SetVector("Q", &v), D3DERR_INVALIDCALL);
         EXPECT_EQ(e->SetTexture("P", nullptr), D3DERR_INVALIDCALL);
         EXPECT_EQ(e->SetFloat("T", 1.0f), D3DERR_INVALIDCALL);
         EXPECT_EQ(e->SetFloat(nullptr, 1.0f), D3DERR_INVALIDCALL);
         EXPECT_EQ(e->SetTexture(nullptr, nullptr), D3DERR_INVALIDCALL);
         EXPECT_EQ(e->SetFloat("Missing", 1.0f), D3DERR_INVALIDCALL);
     }},
};

class FxConversions : public FxDeviceTest, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(FxConversions, FollowTheFrameworkRules) {
    ComPtr<ID3DXEffect> effect = Compile(GetParam().declaration);
    ASSERT_TRUE(effect);
    GetParam().check(effect.get());
}

INSTANTIATE_TEST_SUITE_P(Cases, FxConversions, ::testing::ValuesIn(kConversions),
                         [](const ::testing::TestParamInfo<ConversionCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

// An application's include handler: every Open is matched by one Close.
class CountingInclude : public ID3DXInclude {
  public:
    STDMETHOD(Open)
    (D3DXINCLUDE_TYPE, const char* name, const void* parent, const void** data,
     UINT* bytes) override {
        names.push_back(name);
        parents.push_back(parent);
        const auto it = files.find(name);
        if (it == files.end())
            return E_FAIL;
        *data = it->second.data();
        *bytes = static_cast<UINT>(it->second.size());
        ++open;
        return S_OK;
    }
    STDMETHOD(Close)(const void* data) override {
        for (const auto& [name, text] : files) {
            if (text.data() == data)
                --open;
        }
        return S_OK;
    }
    std::map<std::string, std::string> files;
    std::vector<std::string> names;
    std::vector<const void*> parents;
    int open = 0;
};

TEST_F(FxDeviceTest, IncludeHandlerOpensAndClosesEachFile) {
    CountingInclude handler;
    handler.files["outer.fxh"] = "#include \"inner.fxh\"\nfloat4 Outer : OUTER;\n";
    handler.files["inner.fxh"] = "float4 Inner : INNER;\n";
    const std::string text = std::string("#include \"outer.fxh\"\n") + kMarkerTechnique;
    ComPtr<ID3DXEffect> effect;
    ComPtr<ID3DXBuffer> messages;
    ASSERT_EQ(D3DXCreateEffect(m_spDevice.get(), text.data(), static_cast<UINT>(text.size()),
                               nullptr, &handler, 0, nullptr, effect.put(), messages.put()),
              S_OK)
        << MessagesText(messages.get());
    EXPECT_EQ(handler.open, 0);
    ASSERT_EQ(handler.names.size(), 2u);
    EXPECT_EQ(handler.names[1], "inner.fxh");
    // The nested file is opened with its includer's data as the parent.
    EXPECT_EQ(handler.parents[0], nullptr);
    EXPECT_EQ(handler.parents[1], handler.files["outer.fxh"].data());
    EXPECT_NE(effect->GetParameterBySemantic(nullptr, "inner"), nullptr);
    effect = nullptr;

    const std::string missing = "#include \"outer.fxh\"\n#include \"nowhere.fxh\"\n";
    EXPECT_EQ(D3DXCreateEffect(m_spDevice.get(), missing.data(), static_cast<UINT>(missing.size()),
                               nullptr, &handler, 0, nullptr, effect.put(), messages.put()),
              E_FAIL);
    EXPECT_EQ(handler.open, 0);
    EXPECT_NE(MessagesText(messages.get())
                  .find("error X1507: failed to open source file: "
                        "'nowhere.fxh'"),
              std::string::npos);
}

} // namespace
} // namespace fxtest
