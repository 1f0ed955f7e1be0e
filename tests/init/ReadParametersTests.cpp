// Texture names, grid size and the aspect flag read from the host's store.

#include "tests/init/ShaderFixture.h"

#include "host/pipeline/ParameterStoreEditing.h"

#include <climits>

using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

namespace {

class ReadParametersTest : public ShaderTest {
  protected:
    void SetUp() override {
        ShaderTest::SetUp();
        ASSERT_TRUE(WriteFileBytes(existing, "x"));
        ASSERT_TRUE(WriteFileBytes(other, "y"));
    }
    ScratchFolder folder;
    std::wstring existing = folder / L"mask.png";
    std::wstring other = folder / L"other.png";
    std::wstring missing = folder / L"missing.png";
};

TEST_F(ReadParametersTest, NoTextureParametersLeaveEverySlotEmpty) {
    EXPECT_EQ(shader.ReadParameters(), S_OK);
    for (const std::wstring& slot : shader.m_strTextureFile)
        EXPECT_TRUE(slot.empty());
    EXPECT_EQ(shader.m_nVerticesX, 2);
    EXPECT_EQ(shader.m_nVerticesY, 2);
    EXPECT_FALSE(shader.m_bRelaxAspect);
}

TEST_F(ReadParametersTest, SlotTwoTakesTheFirstNameThatGivesAValue) {
    struct Case {
        const wchar_t* textureFile;
        const wchar_t* maskName;
        const wchar_t* inputTexture2;
        bool expectExisting; // else empty
        bool maskRead;
    };
    const Case cases[] = {
        {existing.c_str(), other.c_str(), other.c_str(), true, false},
        {missing.c_str(), existing.c_str(), nullptr, false, false}, // a value, naming nothing
        {nullptr, existing.c_str(), other.c_str(), true, true},
        {nullptr, nullptr, existing.c_str(), true, true},
        {L"", existing.c_str(), nullptr, false, false},
    };
    for (const Case& c : cases) {
        store->Remove(L"TextureFile");
        store->Remove(L"MaskName");
        store->Remove(L"InputTexture2");
        if (c.textureFile)
            SetString(L"TextureFile", c.textureFile);
        if (c.maskName)
            SetString(L"MaskName", c.maskName);
        if (c.inputTexture2)
            SetString(L"InputTexture2", c.inputTexture2);
        shader.m_strTextureFile[2] = L"stale";
        doubles::CallLog::Get().Reset();
        EXPECT_EQ(shader.ReadParameters(), S_OK);
        EXPECT_EQ(shader.m_strTextureFile[2], c.expectExisting ? existing : std::wstring());
        EXPECT_EQ(WasRead(L"MaskName"), c.maskRead);
    }
}

TEST_F(ReadParametersTest, SlotTwoKeepsItsNameWhenNoParameterGivesAValue) {
    shader.m_strTextureFile[2] = existing;
    store->Parameter(L"TextureFile")->SetEmpty();
    EXPECT_EQ(shader.ReadParameters(), S_OK);
    EXPECT_EQ(shader.m_strTextureFile[2], existing);
}

TEST_F(ReadParametersTest, EnvironmentReferenceIsStoredExpanded) {
    ScopedEnvironment variable(L"QUORVEL_TEXTURES", folder.path().c_str());
    SetString(L"InputTexture4", L"%QUORVEL_TEXTURES%\\mask.png");
    EXPECT_EQ(shader.ReadParameters(), S_OK);
    EXPECT_EQ(shader.m_strTextureFile[4], existing);
}

TEST_F(ReadParametersTest, SlotsThreeToSevenAreEmptiedWhenReadable) {
    for (int slot = 3; slot < CShaderBase::kTextureSlots; ++slot)
        shader.m_strTextureFile[slot] = L"stale";
    SetString(L"InputTexture3", existing.c_str());
    SetString(L"InputTexture5", missing.c_str());
    store->Parameter(L"InputTexture6")->SetEmpty();
    store->Parameter(L"InputTexture7")->SetInt(7); // not a string: names nothing
    doubles::CallLog::Get().FailNthOf("IParameterStore::GetParameter", 5, E_ACCESSDENIED);
    EXPECT_EQ(shader.ReadParameters(), S_OK);
    EXPECT_EQ(shader.m_strTextureFile[3], existing);
    // The fifth lookup is "InputTexture4" (after the three names of slot 2 and slot 3).
    EXPECT_EQ(shader.m_strTextureFile[4], L"stale");
    EXPECT_EQ(shader.m_strTextureFile[5], L"");
    EXPECT_EQ(shader.m_strTextureFile[6], L"");
    EXPECT_EQ(shader.m_strTextureFile[7], L"");
}

TEST_F(ReadParametersTest, UnusableTextureValuesLeaveTheSlotEmpty) {
    const std::wstring tooLong = L"%QUORVEL_LONG%";
    ScopedEnvironment variable(L"QUORVEL_LONG", std::wstring(300, L'a').c_str());
    struct Case {
        const char* what;
        void (*set)(doubles::FakeParameter*, const std::wstring&);
    };
    const Case cases[] = {
        {"null string", [](doubles::FakeParameter* p, const std::wstring&) { p->SetNullString(); }},
        {"number", [](doubles::FakeParameter* p, const std::wstring&) { p->SetInt(1); }},
        {"float", [](doubles::FakeParameter* p, const std::wstring&) { p->SetFloat(1.0f); }},
        {"expansion beyond 260 units",
         [](doubles::FakeParameter* p, const std::wstring& s) { p->SetString(s.c_str()); }},
    };
    for (const Case& c : cases) {
        c.set(store->Parameter(L"InputTexture3"), tooLong);
        shader.m_strTextureFile[3] = L"stale";
        EXPECT_EQ(shader.ReadParameters(), S_OK) << c.what;
        EXPECT_EQ(shader.m_strTextureFile[3], L"") << c.what;
    }
}

TEST_F(ReadParametersTest, StoreTextureFileReportsWhetherAPathWasStored) {
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(existing.c_str());
    EXPECT_EQ(shader.StoreTextureFile(value, 2), S_OK);
    EXPECT_EQ(shader.m_strTextureFile[2], existing);
    SysFreeString(value.bstrVal);
    value.bstrVal = SysAllocString(missing.c_str());
    EXPECT_EQ(shader.StoreTextureFile(value, 2), E_FAIL);
    EXPECT_EQ(shader.m_strTextureFile[2], L"");
    PropVariantClear(&value);
    EXPECT_EQ(shader.StoreTextureFile(value, 2), E_FAIL);
}

TEST_F(ReadParametersTest, GridSizesHaveALowerBoundOfTwo) {
    const struct {
        LONG given;
        int stored;
    } cases[] = {{1, 2}, {0, 2}, {-5, 2}, {INT_MIN, 2}, {2, 2}, {10, 10}};
    for (const auto& c : cases) {
        SetInt(L"NumVerticesX", c.given);
        store->Parameter(L"NumVerticesY")->Set([&] {
            PROPVARIANT v;
            PropVariantInit(&v);
            v.vt = VT_INT;
            v.intVal = c.given;
            return v;
        }());
        EXPECT_EQ(shader.ReadParameters(), S_OK) << c.given;
        EXPECT_EQ(shader.m_nVerticesX, c.stored) << c.given;
        EXPECT_EQ(shader.m_nVerticesY, c.stored) << c.given;
    }
}

TEST_F(ReadParametersTest, GridSizeOfAnotherTypeFailsBeforeTheAspectIsRead) {
    shader.m_nVerticesY = 5;
    SetInt(L"NumVerticesX", 4);
    SetString(L"NumVerticesY", L"8");
    SetString(L"RelaxAspect", L"1");
    EXPECT_EQ(shader.ReadParameters(), E_FAIL);
    EXPECT_EQ(shader.m_nVerticesX, 4);
    EXPECT_EQ(shader.m_nVerticesY, 5);
    EXPECT_FALSE(WasRead(L"RelaxAspect"));
    EXPECT_FALSE(shader.m_bRelaxAspect);

    SetString(L"NumVerticesX", L"8");
    doubles::CallLog::Get().Reset();
    EXPECT_EQ(shader.ReadParameters(), E_FAIL);
    EXPECT_FALSE(WasRead(L"NumVerticesY"));
}

TEST_F(ReadParametersTest, GridsBeyondSixteenBitIndicesAreRejected) {
    const struct {
        LONG x;
        LONG y;
        HRESULT expected;
    } cases[] = {
        {256, 256, S_OK},           {257, 256, E_INVALIDARG},   {65536, 2, E_INVALIDARG},
        {INT_MAX, 2, E_INVALIDARG}, {2, INT_MAX, E_INVALIDARG}, {32768, 2, S_OK},
    };
    for (const auto& c : cases) {
        shader.m_nVerticesX = 3;
        shader.m_nVerticesY = 4;
        SetInt(L"NumVerticesX", c.x);
        SetInt(L"NumVerticesY", c.y);
        EXPECT_EQ(shader.ReadParameters(), c.expected) << c.x << " x " << c.y;
        EXPECT_EQ(shader.m_nVerticesX, SUCCEEDED(c.expected) ? c.x : 3);
        EXPECT_EQ(shader.m_nVerticesY, SUCCEEDED(c.expected) ? c.y : 4);
    }
}

TEST_F(ReadParametersTest, RelaxAspectWords) {
    const struct {
        const wchar_t* word;
        bool relaxed;
    } cases[] = {
        {L"0", false},    {L"FALSE", false}, {L"False", false}, {L"zero", false},
        {L"ZERO", false}, {L"false", false}, {L"1", true},      {L"true", true},
        {L"no", true},    {L" false", true}, {L"", true},       {L"false ", true},
    };
    for (const auto& c : cases) {
        SetString(L"RelaxAspect", c.word);
        shader.m_bRelaxAspect = !c.relaxed;
        EXPECT_EQ(shader.ReadParameters(), S_OK);
        EXPECT_EQ(shader.m_bRelaxAspect, c.relaxed) << static_cast<const void*>(c.word);
    }
}

TEST_F(ReadParametersTest, RelaxAspectOfAnotherKindOrAbsentLeavesTheFlag) {
    for (bool before : {false, true}) {
        store->Remove(L"RelaxAspect");
        shader.m_bRelaxAspect = before;
        EXPECT_EQ(shader.ReadParameters(), S_OK);
        EXPECT_EQ(shader.m_bRelaxAspect, before);
        SetInt(L"RelaxAspect", 0);
        EXPECT_EQ(shader.ReadParameters(), S_OK);
        EXPECT_EQ(shader.m_bRelaxAspect, before);
    }
    // A null string is an empty one: the flag goes on.
    store->Parameter(L"RelaxAspect")->SetNullString();
    shader.m_bRelaxAspect = false;
    EXPECT_EQ(shader.ReadParameters(), S_OK);
    EXPECT_TRUE(shader.m_bRelaxAspect);
}

TEST_F(ReadParametersTest, ValuesComeThroughThePipelinesOwnStore) {
    // The store the constructor made through the stand-in pipeline library.
    TestShader real;
    ASSERT_TRUE(real.m_spParameterStore);
    quorvel::ComPtr<IParameterStoreEditor> editor;
    ASSERT_EQ(quorvel::QueryTo(real.m_spParameterStore.get(), IID_IParameterStoreEditor, editor),
              S_OK);
    hostpipeline::Value grid, texture, aspect;
    hostpipeline::Value::Int(grid, 10);
    ASSERT_EQ(hostpipeline::Value::String(texture, existing.c_str()), S_OK);
    ASSERT_EQ(hostpipeline::Value::String(aspect, L"TRUE"), S_OK);
    ASSERT_EQ(editor->SetValue(L"NumVerticesY", grid.get()), S_OK);
    ASSERT_EQ(editor->SetValue(L"MaskName", texture.get()), S_OK);
    ASSERT_EQ(editor->SetValue(L"RelaxAspect", aspect.get()), S_OK);
    EXPECT_EQ(real.ReadParameters(), S_OK);
    EXPECT_EQ(real.m_nVerticesX, 2);
    EXPECT_EQ(real.m_nVerticesY, 10);
    EXPECT_EQ(real.m_strTextureFile[2], existing);
    EXPECT_TRUE(real.m_bRelaxAspect);
}

TEST_F(ReadParametersTest, ReadOrder) {
    EXPECT_EQ(shader.ReadParameters(), S_OK);
    std::vector<std::wstring> names;
    for (const doubles::Call& call : doubles::CallLog::Get().Named("IParameterStore::GetParameter"))
        names.push_back(call.wtext);
    const std::vector<std::wstring> expected = {
        L"TextureFile",   L"MaskName",      L"InputTexture2", L"InputTexture3",
        L"InputTexture4", L"InputTexture5", L"InputTexture6", L"InputTexture7",
        L"NumVerticesX",  L"NumVerticesY",  L"RelaxAspect"};
    EXPECT_EQ(names, expected);
}

} // namespace
