// Effect file and technique parameters, the compile with its X1507 fallback,
// the compiler's messages and the semantic handles.

#include "tests/init/ShaderFixture.h"

using doubles::CallLog;
using doubles::CompileOutcome;
using doubles::D3DXStandIn;
using testing_support::DebugOutputCapture;
using testing_support::RemoveTree;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

namespace {

constexpr HRESULT kCompileFailed = static_cast<HRESULT>(0x88760B59);

CompileOutcome Outcome(HRESULT hr, const char* messages = nullptr) {
    CompileOutcome outcome;
    outcome.hr = hr;
    if (messages)
        outcome.messages = messages;
    return outcome;
}

class CreateEffectTest : public ShaderTest {
  protected:
    void SetUp() override {
        ShaderTest::SetUp();
        ASSERT_TRUE(WriteFileBytes(effectPath, "technique T { pass P { } }\n"));
        SetString(L"ShaderFilename", effectPath.c_str());
        SetString(L"Technique", L"T");
    }
    std::wstring CompiledPath() const {
        const auto calls = CallLog::Get().Named("D3DXCreateEffectFromFileW");
        return calls.empty() ? std::wstring() : calls.back().wtext;
    }

    ScratchFolder folder;
    std::wstring effectPath = folder / L"fx\\a.fx";
};

TEST_F(CreateEffectTest, CompilesTheFileAloneWithNoMacrosIncludesFlagsOrPool) {
    EXPECT_EQ(shader.CreateEffect(device.get()), S_OK);
    const auto calls = CallLog::Get().Named("D3DXCreateEffectFromFileW");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].wtext, effectPath);
    EXPECT_EQ(calls[0].args[0], doubles::Arg(device.get()));
    EXPECT_EQ(calls[0].args[1], 0u); // defines
    EXPECT_EQ(calls[0].args[2], 0u); // include handler
    EXPECT_EQ(calls[0].args[3], 0u); // flags
    EXPECT_EQ(calls[0].args[4], 0u); // pool
    EXPECT_EQ(CallLog::Get().Count("D3DXCreateEffect"), 0u);
    ASSERT_EQ(D3DXStandIn::Get().effects.size(), 1u);
    EXPECT_EQ(shader.m_spEffect.get(), D3DXStandIn::Get().effects[0].get());
    EXPECT_REF(shader.m_spEffect.get(), 2); // ours and the stand-in's
    EXPECT_EQ(shader.m_strTechnique, L"T");
}

TEST_F(CreateEffectTest, FileNameParameters) {
    ASSERT_TRUE(WriteFileBytes(folder / L"b.fx", "technique T { pass P { } }\n"));
    const std::wstring fxFile = folder / L"b.fx";
    enum Kind { Absent, Empty, Number, NullString, String };
    const struct {
        const char* what;
        Kind shaderFilename;
        HRESULT expected;
        bool fxFileRead;
        const std::wstring* compiled;
    } cases[] = {
        {"absent", Absent, S_OK, true, &fxFile},
        {"empty", Empty, S_OK, true, &fxFile},
        {"number", Number, E_FAIL, false, nullptr},
        {"null string", NullString, E_POINTER, false, nullptr},
        {"string", String, S_OK, false, &effectPath},
    };
    for (const auto& c : cases) {
        SetString(L"FXFile", fxFile.c_str());
        doubles::FakeParameter* name = store->Parameter(L"ShaderFilename");
        switch (c.shaderFilename) {
        case Absent:
            store->Remove(L"ShaderFilename");
            break;
        case Empty:
            name->SetEmpty();
            break;
        case Number:
            name->SetInt(3);
            break;
        case NullString:
            name->SetNullString();
            break;
        case String:
            name->SetString(effectPath.c_str());
            break;
        }
        CallLog::Get().Reset();
        EXPECT_EQ(shader.CreateEffect(device.get()), c.expected) << c.what;
        EXPECT_EQ(WasRead(L"FXFile"), c.fxFileRead) << c.what;
        EXPECT_EQ(CompiledPath(), c.compiled ? *c.compiled : std::wstring()) << c.what;
        EXPECT_EQ(static_cast<bool>(shader.m_spEffect), SUCCEEDED(c.expected)) << c.what;
        shader.m_spEffect = nullptr;
    }
}

TEST_F(CreateEffectTest, EmptyFileNameIsResolvedAndFxFileNotRead) {
    SetString(L"ShaderFilename", L"");
    SetString(L"FXFile", effectPath.c_str());
    // An empty name resolves to the first search folder that exists.
    EXPECT_EQ(shader.CreateEffect(device.get()), S_OK);
    EXPECT_FALSE(WasRead(L"FXFile"));
    EXPECT_NE(CompiledPath(), effectPath);
    EXPECT_FALSE(CompiledPath().empty());
}

TEST_F(CreateEffectTest, FileNameAndTechniqueFailures) {
    store->Remove(L"ShaderFilename");
    store->missingResult = static_cast<HRESULT>(0x80070490);
    EXPECT_EQ(shader.CreateEffect(device.get()), static_cast<HRESULT>(0x80070490));

    SetString(L"ShaderFilename", (folder / L"nowhere.fx").c_str());
    EXPECT_EQ(shader.CreateEffect(device.get()), E_INVALIDARG);

    SetString(L"ShaderFilename", effectPath.c_str());
    store->Remove(L"Technique");
    EXPECT_EQ(shader.CreateEffect(device.get()), static_cast<HRESULT>(0x80070490));
    SetInt(L"Technique", 1);
    EXPECT_EQ(shader.CreateEffect(device.get()), E_FAIL);
    EXPECT_EQ(CallLog::Get().Count("D3DXCreateEffectFromFileW"), 0u);

    store->Parameter(L"Technique")->SetNullString();
    shader.m_strTechnique = L"old";
    EXPECT_EQ(shader.CreateEffect(device.get()), S_OK);
    EXPECT_EQ(shader.m_strTechnique, L"");
}

TEST_F(CreateEffectTest, MessagesGoToTheDebuggerFollowedByANewline) {
    const struct {
        const char* what;
        HRESULT hr;
        const char* messages;
        const wchar_t* written;
    } cases[] = {
        {"warnings of a success", S_OK, "a.fx(3,1): warning X3206: implicit truncation",
         L"a.fx(3,1): warning X3206: implicit truncation\n"},
        {"errors of a failure", kCompileFailed, "a.fx(1,1): error X3000: syntax error",
         L"a.fx(1,1): error X3000: syntax error\n"},
        {"no buffer", kCompileFailed, nullptr, L""},
        {"an empty buffer", S_OK, "", L"\n"},
    };
    for (const auto& c : cases) {
        shader.m_spEffect = nullptr;
        D3DXStandIn::Get().compiles.push_back(Outcome(c.hr, c.messages));
        DebugOutputCapture capture;
        EXPECT_EQ(shader.CreateEffect(device.get()), c.hr) << c.what;
        EXPECT_EQ(capture.text(), c.written) << c.what;
        EXPECT_EQ(static_cast<bool>(shader.m_spEffect), SUCCEEDED(c.hr)) << c.what;
    }
}

TEST_F(CreateEffectTest, SuccessWithoutAnEffectIsAFailure) {
    CompileOutcome outcome;
    outcome.nullEffect = true;
    D3DXStandIn::Get().compiles.push_back(outcome);
    EXPECT_EQ(shader.CreateEffect(device.get()), E_POINTER);
    EXPECT_FALSE(shader.m_spEffect);
}

class IncludeFallbackTest : public CreateEffectTest {
  protected:
    void SetUp() override {
        CreateEffectTest::SetUp();
        ASSERT_TRUE(
            WriteFileBytes(effectPath, "#include \"common.fxh\"\ntechnique T { pass P { } }\n"));
    }
    void ShareInclude() {
        ASSERT_TRUE(
            WriteFileBytes(folder / L"Movie Maker\\Shared\\common.fxh", "float4 shared;\n"));
    }
    ScopedEnvironment programFiles{L"ProgramFiles", folder.path().c_str()};
    const char* cannotOpen = "a.fx(1,10): error X1507: failed to open source file: 'common.fxh'";
};

TEST_F(IncludeFallbackTest, IncludeFromTheSharedFolderIsCompiledFromMemory) {
    ShareInclude();
    D3DXStandIn::Get().compiles.push_back(Outcome(kCompileFailed, cannotOpen));
    DebugOutputCapture capture;
    EXPECT_EQ(shader.CreateEffect(device.get()), S_OK);
    const auto fromMemory = CallLog::Get().Named("D3DXCreateEffect");
    ASSERT_EQ(fromMemory.size(), 1u);
    EXPECT_NE(fromMemory[0].text.find("float4 shared;"), std::string::npos);
    EXPECT_EQ(fromMemory[0].text.find("#include"), std::string::npos);
    EXPECT_NE(fromMemory[0].text.find("technique T"), std::string::npos);
    EXPECT_EQ(fromMemory[0].args[2], fromMemory[0].text.size()); // no terminator counted
    EXPECT_EQ(fromMemory[0].args[3], 0u);
    EXPECT_EQ(fromMemory[0].args[4], 0u);
    EXPECT_EQ(fromMemory[0].args[5], 0u);
    EXPECT_EQ(fromMemory[0].args[6], 0u);
    // The first compile's messages are never written out.
    EXPECT_EQ(capture.text(), L"");
    EXPECT_TRUE(shader.m_spEffect);
}

TEST_F(IncludeFallbackTest, FailuresOfTheFallback) {
    // A path outside the thread's code page cannot be loaded by its narrow name.
    const std::wstring unloadable = folder / L"\u044D\u0444\u0444\u0435\u043A\u0442.fx";
    ASSERT_TRUE(WriteFileBytes(unloadable, "#include \"common.fxh\"\n"));
    const struct {
        const char* what;
        const std::wstring* path;
        CompileOutcome second;
        HRESULT expected;
        const wchar_t* written;
        const char* directive; // still in the text compiled from memory
    } cases[] = {
        {"source cannot be loaded", &unloadable, {}, E_FAIL, L"", nullptr},
        {"second compile fails", &effectPath, Outcome(kCompileFailed, "error X3004: undeclared"),
         kCompileFailed, L"error X3004: undeclared\n", nullptr},
        {"include found nowhere", &effectPath, Outcome(kCompileFailed, "error X3000: syntax"),
         kCompileFailed, L"error X3000: syntax\n", "#include \"common.fxh\""},
    };
    for (const auto& c : cases) {
        if (c.directive)
            RemoveTree(folder / L"Movie Maker");
        else
            ShareInclude();
        SetString(L"ShaderFilename", c.path->c_str());
        D3DXStandIn::Get().compiles.push_back(Outcome(kCompileFailed, cannotOpen));
        D3DXStandIn::Get().compiles.push_back(c.second);
        DebugOutputCapture capture;
        CallLog::Get().Reset();
        EXPECT_EQ(shader.CreateEffect(device.get()), c.expected) << c.what;
        EXPECT_EQ(capture.text(), c.written) << c.what;
        EXPECT_FALSE(shader.m_spEffect) << c.what;
        const auto fromMemory = CallLog::Get().Named("D3DXCreateEffect");
        ASSERT_EQ(fromMemory.size(), c.path == &unloadable ? 0u : 1u) << c.what;
        if (c.directive) {
            EXPECT_NE(fromMemory[0].text.find(c.directive), std::string::npos) << c.what;
        }
        D3DXStandIn::Get().compiles.clear();
    }
}

// The narrow path for the in-memory compile must name the same file: a
// best-fit "A" for "\u0100" or a real "..\\" for fullwidth "\uFF0E\uFF0E\uFF3C" would
// load a neighbour instead.
TEST_F(IncludeFallbackTest, UnicodeNamesCompileTheNamedFileOrFailCleanly) {
    ShareInclude();
    ASSERT_TRUE(WriteFileBytes(effectPath, "#include \"common.fxh\"\ntechnique Decoy {}\n"));
    ASSERT_TRUE(
        WriteFileBytes(folder / L"fx\\Auni.fx", "#include \"common.fxh\"\ntechnique Decoy {}\n"));
    const struct {
        const char* what;
        std::wstring name;
    } cases[] = {
        {"macron", folder / L"fx\\\u0100uni.fx"},
        {"fullwidth dots and backslash", folder / L"fx\\sub\\\uFF0E\uFF0E\uFF3Ca.fx"},
        {"cyrillic", folder / L"fx\\\u0444.fx"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileBytes(c.name, "#include \"common.fxh\"\ntechnique Named {}\n"))
            << c.what;
        SetString(L"ShaderFilename", c.name.c_str());
        D3DXStandIn::Get().compiles.push_back(Outcome(kCompileFailed, cannotOpen));
        CallLog::Get().Reset();
        const HRESULT hr = shader.CreateEffect(device.get());
        const auto fromMemory = CallLog::Get().Named("D3DXCreateEffect");
        for (const auto& call : fromMemory)
            EXPECT_EQ(call.text.find("Decoy"), std::string::npos) << c.what;
        if (SUCCEEDED(hr)) {
            ASSERT_EQ(fromMemory.size(), 1u) << c.what;
            EXPECT_NE(fromMemory[0].text.find("Named"), std::string::npos) << c.what;
        } else {
            EXPECT_EQ(hr, E_FAIL) << c.what;
            EXPECT_TRUE(fromMemory.empty()) << c.what;
            EXPECT_FALSE(shader.m_spEffect) << c.what;
        }
        shader.m_spEffect = nullptr;
        D3DXStandIn::Get().compiles.clear();
    }
}

TEST_F(IncludeFallbackTest, OnlyTheExactCaseSensitiveTextTriggersTheFallback) {
    D3DXStandIn::Get().compiles.push_back(
        Outcome(kCompileFailed, "a.fx(1,10): ERROR X1507: Failed to open source file"));
    EXPECT_EQ(shader.CreateEffect(device.get()), kCompileFailed);
    EXPECT_EQ(CallLog::Get().Count("D3DXCreateEffect"), 0u);
}

const char* const kSemanticOrder[] = {
    "World",          "View",           "Projection",     "WorldView",      "WorldViewProjection",
    "Duration",       "Time",           "InputSize",      "OutputSize",     "PixelSize",
    "TextureAspect0", "TextureAspect1", "TextureAspect2", "TextureAspect3", "TextureAspect4",
    "TextureAspect5", "TextureAspect6", "TextureAspect7"};

std::vector<D3DXHANDLE> Handles(const TestShader& s) {
    std::vector<D3DXHANDLE> handles = {
        s.m_hWorld,    s.m_hView, s.m_hProjection, s.m_hWorldView,  s.m_hWorldViewProjection,
        s.m_hDuration, s.m_hTime, s.m_hInputSize,  s.m_hOutputSize, s.m_hPixelSize};
    handles.insert(handles.end(), s.m_hTextureAspect.begin(), s.m_hTextureAspect.end());
    return handles;
}

TEST_F(CreateEffectTest, EighteenHandlesLookedUpInTableOrder) {
    CompileOutcome outcome;
    outcome.effect = doubles::Make<doubles::FakeEffect>();
    std::vector<D3DXHANDLE> declared;
    for (const char* semantic : kSemanticOrder)
        declared.push_back(outcome.effect->Declare(semantic));
    D3DXStandIn::Get().compiles.push_back(outcome);
    ASSERT_EQ(shader.CreateEffect(device.get()), S_OK);
    EXPECT_EQ(Handles(shader), declared);
    const auto lookups = CallLog::Get().Named("ID3DXEffect::GetParameterBySemantic");
    ASSERT_EQ(lookups.size(), 18u);
    for (size_t i = 0; i < lookups.size(); ++i) {
        EXPECT_EQ(lookups[i].text, kSemanticOrder[i]);
        EXPECT_EQ(lookups[i].args[0], 0u);
    }
}

TEST_F(CreateEffectTest, EffectWithoutSemanticsGetsNullHandlesAndFailuresKeepThem) {
    for (D3DXHANDLE* h : {&shader.m_hWorld, &shader.m_hTime, &shader.m_hTextureAspect[7]})
        *h = "stale";
    ASSERT_EQ(shader.CreateEffect(device.get()), S_OK);
    for (D3DXHANDLE handle : Handles(shader))
        EXPECT_EQ(handle, nullptr);

    shader.m_hPixelSize = "kept";
    D3DXStandIn::Get().compiles.push_back(Outcome(kCompileFailed));
    EXPECT_EQ(shader.CreateEffect(device.get()), kCompileFailed);
    EXPECT_STREQ(shader.m_hPixelSize, "kept");
}

} // namespace
