// A transform object's state from construction to destruction.

#include "transform/ShaderBase.h"

#include "com/ComPtr.h"
#include "tests/support/TestSupport.h"

#include <memory>

namespace {

class TestShaderBase : public CShaderBase {
  public:
    using CShaderBase::m_bFirstFrame;
    using CShaderBase::m_bRelaxAspect;
    using CShaderBase::m_nVerticesX;
    using CShaderBase::m_nVerticesY;
    using CShaderBase::m_spEffect;
    using CShaderBase::m_spIndexBuffer;
    using CShaderBase::m_spParameterStore;
    using CShaderBase::m_spTextures;
    using CShaderBase::m_spVertexBuffer;
    using CShaderBase::m_strTechnique;
    using CShaderBase::m_strTextureFile;
};

TEST(ShaderObject, NewObjectHasItsInitialState) {
    TestShaderBase object;
    // The stand-in pipeline library sits beside the test program.
    EXPECT_TRUE(object.m_spParameterStore);
    EXPECT_FALSE(object.m_spEffect);
    EXPECT_FALSE(object.m_spVertexBuffer);
    EXPECT_FALSE(object.m_spIndexBuffer);
    EXPECT_TRUE(object.m_strTechnique.empty());
    for (int slot = 0; slot < CShaderBase::kTextureSlots; ++slot) {
        EXPECT_TRUE(object.m_strTextureFile[slot].empty());
        EXPECT_FALSE(object.m_spTextures[slot]);
    }
    EXPECT_EQ(object.m_nVerticesX, 2);
    EXPECT_EQ(object.m_nVerticesY, 2);
    EXPECT_FALSE(object.m_bRelaxAspect);
    EXPECT_TRUE(object.m_bFirstFrame);
}

TEST(ShaderObject, DestructionReleasesExactlyTheStore) {
    auto object = std::make_unique<TestShaderBase>();
    quorvel::ComPtr<IParameterStore> store = object->m_spParameterStore;
    ASSERT_TRUE(store);
    EXPECT_REF(store.get(), 2);
    object.reset();
    EXPECT_REF(store.get(), 1);
    EXPECT_EQ(store.detach()->Release(), 0u);
}

TEST(ShaderObject, EachObjectHasAStoreOfItsOwn) {
    TestShaderBase a, b;
    EXPECT_NE(a.m_spParameterStore.get(), b.m_spParameterStore.get());
    EXPECT_REF(a.m_spParameterStore.get(), 1);
}

TEST(ShaderObject, QueryServiceAnswersOnlyTheStore) {
    TestShaderBase object;
    IUnknown* store = nullptr;
    ASSERT_EQ(
        object.QueryService(SID_ParameterStore, IID_IUnknown, reinterpret_cast<void**>(&store)),
        S_OK);
    ASSERT_NE(store, nullptr);
    EXPECT_REF(object.m_spParameterStore.get(), 2);
    store->Release();

    struct Case {
        GUID service;
        IID iid;
        HRESULT expected;
    } cases[] = {
        {IID_IUnknown, IID_IUnknown, E_NOINTERFACE},
        {IID_IParameterStore, IID_IParameterStore, E_NOINTERFACE},
        {SID_ParameterStore, IID_IParameterGroup, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(object.QueryService(c.service, c.iid, &out), c.expected);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(object.QueryService(SID_ParameterStore, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_REF(object.m_spParameterStore.get(), 1);
}

TEST(ShaderObject, GetFlagsBySelectorAndAspect) {
    TestShaderBase object;
    UINT32 flags = 0;
    EXPECT_EQ(object.GetFlags(0, nullptr), E_POINTER);
    for (bool relax : {false, true}) {
        object.m_bRelaxAspect = relax;
        ASSERT_EQ(object.GetFlags(0, &flags), S_OK);
        EXPECT_EQ(flags, relax ? 0x2022u : 0x22u);
        ASSERT_EQ(object.GetFlags(1, &flags), S_OK);
        EXPECT_EQ(flags, 0x22u);
    }
}

} // namespace
