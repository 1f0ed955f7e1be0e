// The built DLL's class objects, lock count and objects, loaded fresh per test.

#include "tests/module/ModuleTestSupport.h"

#include "pipeline/ParameterStore.h"
#include "transform/MediaTransform.h"

#include <oaidl.h>
#include <ocidl.h>
#include <servprov.h>

#include <thread>
#include <vector>

using moduletest::CountingOuter;
using moduletest::LoadedServer;

namespace {

void* const kGarbage = reinterpret_cast<void*>(static_cast<uintptr_t>(0xDEADBEEF));

struct ClassCase {
    const char* name;
    const CLSID* clsid;
    UINT32 inputs;
};
void PrintTo(const ClassCase& c, std::ostream* os) { *os << c.name; }
const ClassCase kClasses[] = {
    {"ShaderEffect", &CLSID_CShaderEffect, 1},
    {"ShaderTransition", &CLSID_CShaderTransition, 2},
};

class ClassObject : public testing::TestWithParam<ClassCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.loaded());
        ASSERT_EQ(m_server.GetClassObject(*GetParam().clsid, IID_IClassFactory,
                                          reinterpret_cast<void**>(&m_factory)),
                  S_OK);
    }
    void TearDown() override {
        if (m_factory) {
            EXPECT_EQ(m_factory->Release(), 1u); // the module's cache keeps its reference
        }
        EXPECT_EQ(m_server.CanUnloadNow(), S_OK);
    }
    IMediaTransform* Create() {
        IMediaTransform* transform = nullptr;
        EXPECT_EQ(m_factory->CreateInstance(nullptr, IID_IMediaTransform,
                                            reinterpret_cast<void**>(&transform)),
                  S_OK);
        return transform;
    }

    LoadedServer m_server;
    IClassFactory* m_factory = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Both, ClassObject, testing::ValuesIn(kClasses),
                         [](const testing::TestParamInfo<ClassCase>& info) {
                             return info.param.name;
                         });

TEST(ClassObjectLookup, UnknownClassOrNullOutPointer) {
    LoadedServer server;
    ASSERT_TRUE(server.loaded());
    void* out = kGarbage;
    EXPECT_EQ(server.GetClassObject(IID_IMediaTransform, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(server.GetClassObject(CLSID_CShaderEffect, IID_IClassFactory, nullptr), E_POINTER);
    out = kGarbage;
    EXPECT_EQ(server.GetClassObject(CLSID_CShaderEffect, IID_IMediaTransform, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

TEST_P(ClassObject, SameObjectEveryCallAndCountsLockTheModule) {
    EXPECT_REF(m_factory, 2);
    EXPECT_EQ(m_server.CanUnloadNow(), S_FALSE);
    IUnknown* again = nullptr;
    ASSERT_EQ(
        m_server.GetClassObject(*GetParam().clsid, IID_IUnknown, reinterpret_cast<void**>(&again)),
        S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(m_factory), again);
    EXPECT_REF(m_factory, 3);
    EXPECT_EQ(again->Release(), 2u);
    EXPECT_EQ(m_server.CanUnloadNow(), S_FALSE);
}

TEST_P(ClassObject, LockServerAndExtraReleasesNeverGoBelowZero) {
    EXPECT_EQ(m_factory->Release(), 1u);
    EXPECT_EQ(m_server.CanUnloadNow(), S_OK);
    // A client's extra Release neither unlocks nor destroys the cached object.
    EXPECT_EQ(m_factory->Release(), 1u);
    EXPECT_EQ(m_server.CanUnloadNow(), S_OK);
    EXPECT_EQ(m_factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_server.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(m_factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(m_server.CanUnloadNow(), S_OK);
    EXPECT_EQ(m_factory->LockServer(FALSE), S_OK); // unmatched
    EXPECT_EQ(m_factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_server.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(m_factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(m_server.CanUnloadNow(), S_OK);
    IClassFactory* again = nullptr;
    ASSERT_EQ(m_server.GetClassObject(*GetParam().clsid, IID_IClassFactory,
                                      reinterpret_cast<void**>(&again)),
              S_OK);
    EXPECT_EQ(again, m_factory);
    IMediaTransform* transform = Create();
    ASSERT_NE(transform, nullptr);
    EXPECT_EQ(transform->Release(), 0u);
}

TEST_P(ClassObject, LiveObjectLocksTheModule) {
    EXPECT_EQ(m_factory->Release(), 1u);
    IMediaTransform* transform = Create();
    ASSERT_NE(transform, nullptr);
    EXPECT_EQ(m_server.CanUnloadNow(), S_FALSE);
    EXPECT_REF(transform, 1);
    EXPECT_EQ(transform->Release(), 0u);
    EXPECT_EQ(m_server.CanUnloadNow(), S_OK);
    m_factory = nullptr;
}

TEST_P(ClassObject, CreateInstanceArguments) {
    CountingOuter outer;
    void* out = kGarbage;
    EXPECT_EQ(m_factory->CreateInstance(nullptr, IID_IMediaTransform, nullptr), E_POINTER);
    EXPECT_EQ(m_factory->CreateInstance(&outer, IID_IMediaTransform, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    // A failing query destroys the new object: the lock count is as it was.
    out = kGarbage;
    EXPECT_EQ(m_factory->CreateInstance(nullptr, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(m_factory->Release(), 1u);
    EXPECT_EQ(m_server.CanUnloadNow(), S_OK);
    EXPECT_EQ(outer.count(), 1);
    m_factory = nullptr;
}

TEST_P(ClassObject, InterfaceTable) {
    IMediaTransform* transform = Create();
    ASSERT_NE(transform, nullptr);
    struct Row {
        const IID* iid;
        HRESULT hr;
    };
    const Row rows[] = {
        {&IID_IUnknown, S_OK},
        {&IID_IMediaTransform, S_OK},
        {&IID_IServiceProvider, S_OK},
        {&IID_IProvideClassInfo, S_OK},
        {&IID_IDispatch, E_NOINTERFACE},
        {&IID_IClassFactory, E_NOINTERFACE},
        {&IID_IMediaDevice, E_NOINTERFACE},
        {&IID_IProvideClassInfo2, E_NOINTERFACE},
        {&IID_IPersist, E_NOINTERFACE},
    };
    for (const auto& row : rows) {
        void* out = kGarbage;
        EXPECT_EQ(transform->QueryInterface(*row.iid, &out), row.hr);
        if (row.hr == S_OK) {
            ASSERT_NE(out, nullptr);
            EXPECT_REF(transform, 2);
            static_cast<IUnknown*>(out)->Release();
        } else {
            EXPECT_EQ(out, nullptr);
        }
        EXPECT_REF(transform, 1);
    }
    IUnknown* identity = nullptr;
    ASSERT_EQ(transform->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(transform));
    identity->Release();
    EXPECT_EQ(transform->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(transform->Release(), 0u);
}

TEST_P(ClassObject, CountsAndFlags) {
    IMediaTransform* transform = Create();
    ASSERT_NE(transform, nullptr);
    UINT32 value = 99;
    EXPECT_EQ(transform->GetInputCount(&value), S_OK);
    EXPECT_EQ(value, GetParam().inputs);
    EXPECT_EQ(transform->GetInputCount(nullptr), E_POINTER);
    value = 99;
    EXPECT_EQ(transform->GetOutputCount(&value), S_OK);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(transform->GetOutputCount(nullptr), E_POINTER);
    // A fresh object does not relax the aspect.
    for (UINT32 selector : {0u, 1u, 7u}) {
        value = 0;
        EXPECT_EQ(transform->GetFlags(selector, &value), S_OK);
        EXPECT_EQ(value, 0x22u);
    }
    EXPECT_EQ(transform->GetFlags(0, nullptr), E_POINTER);
    EXPECT_REF(transform, 1);
    EXPECT_EQ(transform->Release(), 0u);
}

TEST_P(ClassObject, QueryServiceAnswersOnlyTheParameterStore) {
    IMediaTransform* transform = Create();
    ASSERT_NE(transform, nullptr);
    IServiceProvider* provider = nullptr;
    ASSERT_EQ(transform->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&provider)),
              S_OK);

    IUnknown* store = nullptr;
    ASSERT_EQ(provider->QueryService(SID_ParameterStore, IID_IParameterStore,
                                     reinterpret_cast<void**>(&store)),
              S_OK);
    ASSERT_NE(store, nullptr);
    IUnknown* second = nullptr;
    ASSERT_EQ(
        provider->QueryService(SID_ParameterStore, IID_IUnknown, reinterpret_cast<void**>(&second)),
        S_OK);
    // One store per object; the object keeps one reference, each caller one.
    EXPECT_REF(store, 3);
    second->Release();
    void* out = kGarbage;
    EXPECT_EQ(provider->QueryService(IID_IMediaTransform, IID_IParameterStore, &out),
              E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(provider->QueryService(SID_ParameterStore, IID_IParameterStore, nullptr), E_POINTER);
    EXPECT_REF(store, 2);
    EXPECT_REF(transform, 2);
    provider->Release();
    EXPECT_EQ(transform->Release(), 0u);
    EXPECT_EQ(store->Release(), 0u);
}

TEST_P(ClassObject, ClassInfoIsTheClassOwnCoclass) {
    IMediaTransform* transform = Create();
    ASSERT_NE(transform, nullptr);
    IProvideClassInfo* provide = nullptr;
    ASSERT_EQ(transform->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)),
              S_OK);
    EXPECT_EQ(provide->GetClassInfo(nullptr), E_POINTER);
    for (int round = 0; round < 2; ++round) {
        ITypeInfo* info = nullptr;
        ASSERT_EQ(provide->GetClassInfo(&info), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(::IsEqualGUID(attr->guid, *GetParam().clsid));
        EXPECT_EQ(attr->typekind, TKIND_COCLASS);
        info->ReleaseTypeAttr(attr);
        // The module's cache holds the other reference.
        EXPECT_REF(info, 2);
        EXPECT_EQ(info->Release(), 1u);
    }
    provide->Release();
    EXPECT_EQ(transform->Release(), 0u);
}

TEST_P(ClassObject, AggregateForwardsToTheOuterUnknown) {
    CountingOuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(m_factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)),
              S_OK);
    EXPECT_EQ(outer.count(), 1);
    EXPECT_REF(inner, 1);
    EXPECT_EQ(m_server.CanUnloadNow(), S_FALSE);

    // The inner unknown answers IUnknown with itself, counted on itself.
    IUnknown* self = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self)), S_OK);
    EXPECT_EQ(self, inner);
    EXPECT_REF(inner, 2);
    self->Release();
    EXPECT_EQ(outer.count(), 1);

    IMediaTransform* transform = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IMediaTransform, reinterpret_cast<void**>(&transform)),
              S_OK);
    EXPECT_EQ(outer.count(), 2);
    EXPECT_REF(inner, 1);
    EXPECT_EQ(transform->AddRef(), 3u);
    EXPECT_EQ(outer.count(), 3);
    EXPECT_EQ(transform->Release(), 2u);
    EXPECT_EQ(outer.count(), 2);
    // QueryInterface on a contained interface goes to the outer object.
    const int queries = outer.queries();
    IUnknown* viaOuter = nullptr;
    ASSERT_EQ(transform->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaOuter)), S_OK);
    EXPECT_EQ(viaOuter, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.queries(), queries + 1);
    viaOuter->Release();
    void* out = kGarbage;
    EXPECT_EQ(inner->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    UINT32 count = 0;
    EXPECT_EQ(transform->GetInputCount(&count), S_OK);
    EXPECT_EQ(count, GetParam().inputs);
    transform->Release();
    EXPECT_EQ(outer.count(), 1);
    EXPECT_REF(inner, 1);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(outer.count(), 1);
}

// Sixteen threads race the first request in a fresh process.
QUORVEL_CHILD_SCENARIO(RaceFirstClassObject) {
    LoadedServer server;
    if (!server.loaded())
        return 2;
    constexpr int kThreads = 16;
    HANDLE start = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<IUnknown*> results(kThreads, nullptr);
    std::vector<HRESULT> codes(kThreads, E_FAIL);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            ::WaitForSingleObject(start, INFINITE);
            codes[i] = server.GetClassObject(CLSID_CShaderTransition, IID_IUnknown,
                                             reinterpret_cast<void**>(&results[i]));
        });
    ::SetEvent(start);
    for (auto& t : threads)
        t.join();
    ::CloseHandle(start);
    for (int i = 0; i < kThreads; ++i)
        if (codes[i] != S_OK || results[i] != results[0])
            return 3;
    if (testing_support::RefCount(results[0]) != kThreads + 1)
        return 4;
    for (IUnknown* r : results)
        r->Release();
    return server.CanUnloadNow() == S_OK ? 0 : 5;
}

TEST(ClassObjectRace, SixteenThreadsGetOneClassObject) {
    for (int run = 0; run < 3; ++run)
        EXPECT_EQ(testing_support::RunChild("RaceFirstClassObject"), 0u);
}

} // namespace
