// The Initialize sequence, and a fault-injection sweep over every call it makes.

#include "tests/init/ShaderFixture.h"

#include <memory>
#include <set>

using doubles::CallLog;
using doubles::CompileOutcome;
using doubles::D3DXStandIn;
using doubles::Make;
using testing_support::DebugOutputCapture;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

namespace {

class InitializeTest : public ShaderTest {
  protected:
    void SetUp() override {
        ShaderTest::SetUp();
        ASSERT_TRUE(WriteFileBytes(effectPath, "technique T { pass P { } }\n"));
        ASSERT_TRUE(WriteFileBytes(texturePath, "x"));
        Configure(*store.get());
        oldEffect = Make<doubles::FakeEffect>();
    }
    void TearDown() override {
        EXPECT_REF(host.get(), 1);
        EXPECT_REF(device.get(), 2); // ours and the host's
        EXPECT_REF(oldEffect.get(), 1);
        oldEffect = nullptr;
        ShaderTest::TearDown();
    }

    void Configure(doubles::FakeParameterStore& s) {
        s.Parameter(L"ShaderFilename")->SetString(effectPath.c_str());
        s.Parameter(L"FXFile")->SetString(effectPath.c_str());
        s.Parameter(L"Technique")->SetString(L"T");
        s.Parameter(L"TextureFile")->SetString(texturePath.c_str());
        s.Parameter(L"InputTexture3")->SetString(texturePath.c_str());
        s.Parameter(L"NumVerticesX")->SetInt(3);
        s.Parameter(L"NumVerticesY")->SetInt(2);
        s.Parameter(L"RelaxAspect")->SetString(L"yes");
    }
    void GiveOldEffect(TestShader& s) { s.m_spEffect.copy_from(oldEffect.get()); }

    ScratchFolder folder;
    std::wstring effectPath = folder / L"a.fx";
    std::wstring texturePath = folder / L"t.png";
    quorvel::ComPtr<doubles::FakeMediaDevice> host = Make<doubles::FakeMediaDevice>(device.get());
    quorvel::ComPtr<doubles::FakeEffect> oldEffect;
};

TEST_F(InitializeTest, CompleteSequence) {
    GiveOldEffect(shader);
    shader.m_bFirstFrame = false;
    EXPECT_EQ(shader.Initialize(host.get()), S_OK);
    EXPECT_TRUE(shader.m_bFirstFrame);
    ASSERT_EQ(D3DXStandIn::Get().effects.size(), 1u);
    EXPECT_EQ(shader.m_spEffect.get(), D3DXStandIn::Get().effects[0].get());
    const auto technique = CallLog::Get().Named("ID3DXEffect::SetTechnique");
    ASSERT_EQ(technique.size(), 1u);
    EXPECT_EQ(technique[0].text, "T");
    ASSERT_EQ(device->indexBuffers.size(), 1u);
    EXPECT_EQ(device->indexBuffers[0]->Indices16(),
              (std::vector<WORD>{0, 1, 4, 4, 3, 0, 1, 2, 5, 5, 4, 1}));
    EXPECT_EQ(shader.m_strTextureFile[2], texturePath);
    EXPECT_EQ(shader.m_strTextureFile[3], texturePath);
    EXPECT_TRUE(shader.m_bRelaxAspect);
    // The device went to the compiler and the index buffer, and nowhere else.
    EXPECT_EQ(CallLog::Get().Named("D3DXCreateEffectFromFileW")[0].args[0],
              doubles::Arg(static_cast<IDirect3DDevice9*>(device.get())));
}

TEST_F(InitializeTest, TechniqueNameIsNarrowedInTheThreadCodePage) {
    SetString(L"Technique", L"T\u00EBchnique"); // e with diaeresis is 0xEB in code page 1252
    EXPECT_EQ(shader.Initialize(host.get()), S_OK);
    EXPECT_EQ(CallLog::Get().Named("ID3DXEffect::SetTechnique")[0].text, "T\xEB"
                                                                         "chnique");
}

// The thread's code page, not the process's: under a Russian thread locale
// (1251) Cyrillic narrows to its own bytes; what 1251 cannot spell becomes its
// default character, never a best-fit look-alike ("\u0100" is not "A").
TEST_F(InitializeTest, TechniqueNameFollowsTheThreadLocale) {
    const LCID saved = ::GetThreadLocale();
    ASSERT_TRUE(
        ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
    ASSERT_NE(::GetACP(), 1251u); // the process keeps another code page
    const struct {
        const wchar_t* name;
        const char* narrow;
    } cases[] = {
        {L"\u0424\u044D\u0439\u0434", "\xD4\xFD\xE9\xE4"},
        {L"\u0100uni", "?uni"},
    };
    for (const auto& c : cases) {
        SetString(L"Technique", c.name);
        CallLog::Get().Reset();
        EXPECT_EQ(shader.Initialize(host.get()), S_OK);
        const auto set = CallLog::Get().Named("ID3DXEffect::SetTechnique");
        ASSERT_EQ(set.size(), 1u);
        EXPECT_EQ(set[0].text, c.narrow);
    }
    ::SetThreadLocale(saved);
}

TEST_F(InitializeTest, NullHostReleasesTheEffectAndMarksTheFirstFrame) {
    GiveOldEffect(shader);
    shader.m_bFirstFrame = false;
    EXPECT_EQ(shader.Initialize(nullptr), S_OK);
    EXPECT_FALSE(shader.m_spEffect);
    EXPECT_TRUE(shader.m_bFirstFrame);
    EXPECT_TRUE(CallLog::Get().calls().empty());
}

TEST_F(InitializeTest, WithoutAStoreEvenANullHostFails) {
    shader.m_spParameterStore = nullptr;
    for (IUnknown* given : {static_cast<IUnknown*>(nullptr), static_cast<IUnknown*>(host.get())}) {
        GiveOldEffect(shader);
        shader.m_bFirstFrame = false;
        EXPECT_EQ(shader.Initialize(given), E_POINTER);
        EXPECT_FALSE(shader.m_spEffect);
        EXPECT_FALSE(shader.m_bFirstFrame);
    }
}

TEST_F(InitializeTest, HostFailures) {
    auto withoutDevice = Make<doubles::FakeMediaDevice>(nullptr);
    auto notAMediaDevice = Make<doubles::FakeMediaDevice>(device.get());
    notAMediaDevice->answersMediaDevice = false;
    const struct {
        const char* what;
        IUnknown* host;
        HRESULT expected;
    } cases[] = {
        {"no IMediaDevice", notAMediaDevice.get(), E_NOINTERFACE},
        {"success without a device", withoutDevice.get(), E_POINTER},
    };
    for (const auto& c : cases) {
        GiveOldEffect(shader);
        shader.m_bFirstFrame = false;
        EXPECT_EQ(shader.Initialize(c.host), c.expected) << c.what;
        EXPECT_FALSE(shader.m_spEffect) << c.what;
        EXPECT_FALSE(shader.m_bFirstFrame) << c.what;
        EXPECT_REF(c.host, 1);
    }
}

TEST_F(InitializeTest, ParameterAndTechniqueFailures) {
    const struct {
        const char* what;
        const wchar_t* name;
        const wchar_t* value;
        HRESULT expected;
    } cases[] = {
        {"string grid size", L"NumVerticesY", L"4", E_FAIL},
        {"empty technique", L"Technique", L"", E_FAIL},
    };
    for (const auto& c : cases) {
        Configure(*store.get());
        SetString(c.name, c.value);
        shader.m_bFirstFrame = false;
        CallLog::Get().Reset();
        EXPECT_EQ(shader.Initialize(host.get()), c.expected) << c.what;
        // No effect survives a failed Initialize.
        EXPECT_FALSE(shader.m_spEffect) << c.what;
        EXPECT_FALSE(shader.m_bFirstFrame) << c.what;
        EXPECT_EQ(CallLog::Get().Count("ID3DXEffect::SetTechnique"), 0u) << c.what;
        EXPECT_EQ(CallLog::Get().Count("IDirect3DDevice9::CreateIndexBuffer"), 0u) << c.what;
    }
}

TEST_F(InitializeTest, ANewGridSizeDropsTheOldVertexGrid) {
    ASSERT_EQ(shader.Initialize(host.get()), S_OK);
    auto vertices =
        Make<doubles::FakeVertexBuffer>(6 * 24, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_DEFAULT);
    shader.m_spVertexBuffer.copy_from(vertices.get());
    ASSERT_EQ(shader.Initialize(host.get()), S_OK);
    EXPECT_EQ(shader.m_spVertexBuffer.get(), vertices.get()) << "same size: the grid stays";
    SetInt(L"NumVerticesX", 4);
    ASSERT_EQ(shader.Initialize(host.get()), S_OK);
    EXPECT_FALSE(shader.m_spVertexBuffer);
    EXPECT_REF(vertices.get(), 1);
    EXPECT_EQ(device->indexBuffers.back()->length(), 6u * 3 * 1 * 2);
}

// Every call Initialize makes, failed in turn. Optional parameters tolerate a
// failed read; everything else comes back unchanged.
class InitializeSweepTest : public InitializeTest {
  protected:
    void SetUp() override {
        InitializeTest::SetUp();
        // The include lies only in the host's shared folder, so both compiles run.
        ASSERT_TRUE(
            WriteFileBytes(effectPath, "#include \"inc.fxh\"\ntechnique T { pass P { } }\n"));
        ASSERT_TRUE(WriteFileBytes(folder / L"Movie Maker\\Shared\\inc.fxh", "float f;\n"));
    }
    void Program() {
        CompileOutcome first;
        first.hr = static_cast<HRESULT>(0x88760B59);
        first.messages = "a.fx(1,10): error X1507: failed to open source file: 'inc.fxh'";
        CompileOutcome second;
        second.messages = "warning X3571: pow(f, e) will not work for negative f";
        D3DXStandIn::Get().compiles = {first, second};
    }
    static bool Tolerated(const doubles::Call& call) {
        static const std::set<std::wstring> optional = {
            L"TextureFile",   L"MaskName",      L"InputTexture2", L"InputTexture3",
            L"InputTexture4", L"InputTexture5", L"InputTexture6", L"InputTexture7",
            L"NumVerticesX",  L"NumVerticesY",  L"RelaxAspect",   L"ShaderFilename"};
        const bool read =
            call.name == "IParameterStore::GetParameter" || call.name == "IParameter::GetValue";
        return read && optional.count(call.wtext) != 0;
    }
    ScopedEnvironment programFiles{L"ProgramFiles", folder.path().c_str()};
};

TEST_F(InitializeSweepTest, EveryFailureComesBackAndNoReferenceIsLost) {
    DebugOutputCapture quiet;
    size_t calls = 0;
    {
        TestShader clean;
        clean.m_spParameterStore.copy_from(store.get());
        Program();
        CallLog::Get().Reset();
        ASSERT_EQ(clean.Initialize(host.get()), S_OK);
        calls = CallLog::Get().FaultableCount();
        ASSERT_EQ(CallLog::Get().Count("D3DXCreateEffect"), 1u) << CallLog::Get().Trace();
    }
    ASSERT_GT(calls, 20u);

    std::set<std::string> failedKinds;
    for (size_t n = 1; n <= calls; ++n) {
        const HRESULT injected = static_cast<HRESULT>(0x8BAD0000u | n);
        {
            TestShader s;
            s.m_spParameterStore.copy_from(store.get());
            GiveOldEffect(s);
            s.m_bFirstFrame = false;
            Program();
            CallLog::Get().Reset();
            CallLog::Get().FailNth(n, injected);
            const HRESULT hr = s.Initialize(host.get());
            const doubles::Call* failed = CallLog::Get().Injected();
            ASSERT_NE(failed, nullptr) << n;
            failedKinds.insert(failed->name);
            const std::string where =
                failed->name + " " + std::string(failed->wtext.begin(), failed->wtext.end());
            const bool tolerated = Tolerated(*failed);
            EXPECT_EQ(hr, tolerated ? S_OK : injected) << where;
            EXPECT_EQ(s.m_bFirstFrame, tolerated) << where;
            EXPECT_EQ(static_cast<bool>(s.m_spEffect), tolerated) << where;
            EXPECT_REF(oldEffect.get(), 1);
            EXPECT_REF(host.get(), 1);
            EXPECT_REF(device.get(), 2);
            if (s.m_spEffect) {
                EXPECT_REF(s.m_spEffect.get(), 2);
            }
        }
        // The object gone, only the doubles' own references remain.
        EXPECT_REF(store.get(), 2);
        for (const auto& buffer : device->indexBuffers)
            EXPECT_REF(buffer.get(), 1);
        for (const auto& effect : D3DXStandIn::Get().effects)
            EXPECT_REF(effect.get(), 1);
        device->indexBuffers.clear();
        D3DXStandIn::Get().effects.clear();
    }
    // The sweep reached every kind of call the product makes.
    for (const char* kind :
         {"IMediaDevice::QueryInterface", "IMediaDevice::GetDevice",
          "IParameterStore::GetParameter", "IParameter::GetValue", "D3DXCreateEffectFromFileW",
          "D3DXCreateEffect", "ID3DXEffect::SetTechnique", "IDirect3DDevice9::CreateIndexBuffer",
          "IDirect3DIndexBuffer9::Lock", "IDirect3DIndexBuffer9::Unlock"})
        EXPECT_EQ(failedKinds.count(kind), 1u) << kind;
}

} // namespace
