// Our COM templates, the class factory and the module object, in process.

#include "com/ClassFactory.h"
#include "com/ComObject.h"
#include "com/ComPtr.h"
#include "module/ShaderEffectModule.h"
#include "tests/module/AllocationFailure.h"
#include "tests/module/ModuleTestSupport.h"
#include "transform/ShaderEffect.h"
#include "transform/ShaderTransition.h"

#include <string>
#include <vector>

using moduletest::CountingOuter;
using quorvel::CComObjectRootEx;
using quorvel::CComSingleThreadModel;

namespace {

// {0D1B5C3E-7E0A-4F41-9B8E-2A7A4C2E6F11}
constexpr IID IID_IProbe = {
    0x0D1B5C3E, 0x7E0A, 0x4F41, {0x9B, 0x8E, 0x2A, 0x7A, 0x4C, 0x2E, 0x6F, 0x11}};
struct IProbe : public IUnknown {
    virtual LONG STDMETHODCALLTYPE Count() = 0;
};

// Records what destruction sees: the count and the module's lock.
class CProbe : public IProbe, public CComObjectRootEx<CComSingleThreadModel> {
  public:
    ~CProbe() {
        s_countAtDestruction = m_nRef;
        s_locksAtDestruction = g_module.GetLockCount();
        ++s_destroyed;
    }
    HRESULT InternalQueryInterface(REFIID iid, void** out) {
        return quorvel::QueryFromTable(this, kTable, iid, out);
    }
    LONG STDMETHODCALLTYPE Count() override { return m_nRef; }

    static inline LONG s_countAtDestruction = 0;
    static inline LONG s_locksAtDestruction = -1;
    static inline int s_destroyed = 0;

  private:
    static constexpr quorvel::QITableEntry kTable[] = {
        quorvel::QIEntry<CProbe, IProbe>(IID_IProbe)};
};

TEST(ComObject, PlainFormCountsAndLocksUntilDestroyed) {
    const LONG locks = g_module.GetLockCount();
    IProbe* probe = nullptr;
    const int destroyed = CProbe::s_destroyed;
    ASSERT_EQ(
        quorvel::CreateComInstance<CProbe>(nullptr, IID_IProbe, reinterpret_cast<void**>(&probe)),
        S_OK);
    EXPECT_EQ(g_module.GetLockCount(), locks + 1);
    EXPECT_EQ(probe->Count(), 1);
    EXPECT_EQ(probe->AddRef(), 2u);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(CProbe::s_destroyed, destroyed + 1);
    // The count is parked far below zero and the module unlocked before the members go.
    EXPECT_EQ(CProbe::s_countAtDestruction, -1073741823);
    EXPECT_EQ(CProbe::s_locksAtDestruction, locks);
    EXPECT_EQ(g_module.GetLockCount(), locks);
}

TEST(ComObject, AggregatedFormLocksOnceAndLeavesTheOuterCount) {
    const LONG locks = g_module.GetLockCount();
    CountingOuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(
        quorvel::CreateComInstance<CProbe>(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)),
        S_OK);
    EXPECT_EQ(g_module.GetLockCount(), locks + 1);
    IProbe* probe = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IProbe, reinterpret_cast<void**>(&probe)), S_OK);
    EXPECT_EQ(outer.count(), 2);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(CProbe::s_locksAtDestruction, locks);
    EXPECT_EQ(g_module.GetLockCount(), locks);
    EXPECT_EQ(outer.count(), 1);
}

// The parameter store member of a real class, reached the way an explicit
// instantiation may name a protected member.
template <auto Member, typename Tag> struct MemberAccess {
    friend constexpr auto MemberOf(Tag) { return Member; }
};
struct StoreMember {
    friend constexpr auto MemberOf(StoreMember);
};
template struct MemberAccess<&CShaderBase::m_spParameterStore, StoreMember>;

// Planted as a member: when the aggregate's destruction releases it, it
// calls back into the aggregate's own unknown and notes the module's locks.
class DestructionWitness final : public IUnknown {
  public:
    explicit DestructionWitness(IUnknown* aggregate) : m_aggregate(aggregate) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        countSeen = m_aggregate->AddRef();
        m_aggregate->Release();
        locksSeen = g_module.GetLockCount();
        return --m_refs;
    }
    ULONG countSeen = 0;
    LONG locksSeen = -1;

  private:
    IUnknown* m_aggregate;
    ULONG m_refs = 1;
};

template <typename T> void ExpectParkedCountInAggregate() {
    const LONG locks = g_module.GetLockCount();
    CountingOuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(T::CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    auto* aggregate = static_cast<quorvel::CComAggObject<T>*>(inner);
    CShaderBase& base = aggregate->contained();
    DestructionWitness witness(inner);
    (base.*MemberOf(StoreMember{})).attach(reinterpret_cast<IParameterStore*>(&witness));
    EXPECT_EQ(inner->Release(), 0u);
    // A reference call during destruction cannot reach zero again.
    EXPECT_EQ(witness.countSeen, static_cast<ULONG>(-1073741823 + 1));
    EXPECT_EQ(witness.locksSeen, locks);
    EXPECT_EQ(outer.count(), 1);
}

TEST(ComObject, RealClassesParkTheAggregateCountDuringDestruction) {
    ExpectParkedCountInAggregate<CShaderEffect>();
    ExpectParkedCountInAggregate<CShaderTransition>();
}

TEST(ComObject, FailedCreationLeavesNothing) {
    const LONG locks = g_module.GetLockCount();
    const int destroyed = CProbe::s_destroyed;
    CountingOuter outer;
    for (IUnknown* outerUnknown :
         {static_cast<IUnknown*>(nullptr), static_cast<IUnknown*>(&outer)}) {
        void* out = &outer;
        EXPECT_EQ(quorvel::CreateComInstance<CProbe>(outerUnknown, IID_IDispatch, &out),
                  E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(quorvel::CreateComInstance<CProbe>(outerUnknown, IID_IUnknown, nullptr),
                  E_POINTER);
        // Allocation failure.
        allocation::ScopedFailure failure(0);
        out = &outer;
        EXPECT_EQ(quorvel::CreateComInstance<CProbe>(outerUnknown, IID_IUnknown, &out),
                  E_OUTOFMEMORY);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(CProbe::s_destroyed, destroyed + 2);
    EXPECT_EQ(g_module.GetLockCount(), locks);
    EXPECT_EQ(outer.count(), 1);
}

// GetFlags: 0x2022 only for selector 0 with a relaxed aspect.
template <typename Base> class Relaxed : public Base {
  public:
    void SetRelaxAspect(bool relax) { this->m_bRelaxAspect = relax; }
};

template <typename T> void CheckFlags() {
    auto* object = new quorvel::CComObject<Relaxed<T>>();
    quorvel::ComPtr<IMediaTransform> holder(static_cast<IMediaTransform*>(object));
    struct Row {
        bool relax;
        UINT32 selector;
        UINT32 flags;
    };
    const Row rows[] = {{true, 0, 0x2022},
                        {true, 1, 0x22},
                        {true, 0xFFFFFFFF, 0x22},
                        {false, 0, 0x22},
                        {false, 1, 0x22}};
    for (const auto& row : rows) {
        object->SetRelaxAspect(row.relax);
        UINT32 flags = 0;
        EXPECT_EQ(static_cast<IMediaTransform*>(object)->GetFlags(row.selector, &flags), S_OK);
        EXPECT_EQ(flags, row.flags) << row.relax << " " << row.selector;
    }
}

TEST(ShaderTransforms, FlagsFollowSelectorAndRelaxAspect) {
    CheckFlags<CShaderEffect>();
    CheckFlags<CShaderTransition>();
}

TEST(ClassFactory, CacheReferenceDoesNotLockTheModule) {
    const LONG locks = g_module.GetLockCount();
    IUnknown* cached = nullptr;
    ASSERT_EQ(quorvel::CComClassFactory::Create(&CShaderEffect::CreateInstance, &cached), S_OK);
    EXPECT_EQ(g_module.GetLockCount(), locks);
    EXPECT_EQ(cached->AddRef(), 2u); // 1 -> 2 locks
    EXPECT_EQ(g_module.GetLockCount(), locks + 1);
    EXPECT_EQ(cached->AddRef(), 3u);
    EXPECT_EQ(g_module.GetLockCount(), locks + 1);
    EXPECT_EQ(cached->Release(), 2u);
    EXPECT_EQ(cached->Release(), 1u); // 2 -> 1 unlocks
    EXPECT_EQ(g_module.GetLockCount(), locks);
    EXPECT_EQ(cached->Release(), 1u); // a client's extra Release is refused
    EXPECT_EQ(g_module.GetLockCount(), locks);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(cached->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    void* out = cached;
    EXPECT_EQ(factory->QueryInterface(IID_IMediaTransform, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    IMediaTransform* transform = nullptr;
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IMediaTransform, reinterpret_cast<void**>(&transform)),
        S_OK);
    EXPECT_EQ(g_module.GetLockCount(), locks + 2);
    EXPECT_EQ(transform->Release(), 0u);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(g_module.GetLockCount(), locks);
    quorvel::CComClassFactory::ReleaseCached(cached);
}

TEST(Module, LockCountNeverGoesBelowZero) {
    const LONG locks = g_module.GetLockCount();
    for (LONG i = 0; i < locks; ++i)
        g_module.Unlock();
    EXPECT_EQ(g_module.GetLockCount(), 0);
    EXPECT_EQ(g_module.Unlock(), 0);
    EXPECT_EQ(g_module.GetLockCount(), 0);
    EXPECT_EQ(g_module.CanUnloadNow(), S_OK);
    EXPECT_EQ(g_module.Lock(), 1);
    EXPECT_EQ(g_module.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(g_module.Unlock(), 0);
    for (LONG i = 0; i < locks; ++i)
        g_module.Lock();
}

std::vector<int> g_termOrder;
void RecordTerm(void* argument) {
    g_termOrder.push_back(static_cast<int>(reinterpret_cast<intptr_t>(argument)));
}

// Termination runs the list last-registered-first, once, and frees the pipeline library.
QUORVEL_CHILD_SCENARIO(ModuleTermination) {
    IMediaTransform* transform = nullptr;
    if (FAILED(g_module.GetClassObject(CLSID_CShaderEffect, IID_IUnknown,
                                       reinterpret_cast<void**>(&transform))))
        return 2;
    transform->Release();
    if (FAILED(CShaderEffect::CreateInstance(nullptr, IID_IMediaTransform,
                                             reinterpret_cast<void**>(&transform))))
        return 3;
    transform->Release();
    if (!::GetModuleHandleW(L"Pipeline.dll"))
        return 4;
    for (intptr_t i = 1; i <= 3; ++i)
        if (g_module.AddTermFunction(&RecordTerm, reinterpret_cast<void*>(i)) != S_OK)
            return 5;
    {
        allocation::ScopedFailure failure(0);
        if (g_module.AddTermFunction(&RecordTerm, reinterpret_cast<void*>(9)) != E_OUTOFMEMORY)
            return 6;
    }
    g_module.Term();
    g_module.Term();
    if (g_termOrder != std::vector<int>{3, 2, 1})
        return 7;
    if (::GetModuleHandleW(L"Pipeline.dll"))
        return 8;
    // After termination the module refuses class objects.
    void* out = nullptr;
    return g_module.GetClassObject(CLSID_CShaderEffect, IID_IUnknown, &out) == E_UNEXPECTED && !out
               ? 0
               : 9;
}

TEST(Module, TerminationRunsItsListInReverseAndFreesThePipeline) {
    EXPECT_EQ(testing_support::RunChild("ModuleTermination"), 0u);
}

// The unit program carries the server's resources but is not registered: the
// type information comes from its own resource. A failed first load (no room
// for the clean-up entry) publishes nothing and the next request loads again.
QUORVEL_CHILD_SCENARIO(ClassInfoFromOwnResource) {
    quorvel::ComPtr<IProvideClassInfo> provide;
    IProvideClassInfo* raw = nullptr;
    if (FAILED(CShaderTransition::CreateInstance(nullptr, IID_IProvideClassInfo,
                                                 reinterpret_cast<void**>(&raw))))
        return 2;
    provide.attach(raw);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(provide.get());
    {
        allocation::ScopedFailure failure(0);
        if (provide->GetClassInfo(&info) != E_OUTOFMEMORY || info)
            return 3;
    }
    for (int round = 0; round < 2; ++round) {
        if (provide->GetClassInfo(&info) != S_OK || !info)
            return 4;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr)))
            return 5;
        const bool same = ::IsEqualGUID(attr->guid, CLSID_CShaderTransition) != FALSE;
        info->ReleaseTypeAttr(attr);
        if (!same || info->Release() != 1)
            return 6;
    }
    return 0;
}

TEST(ProvideClassInfo, FallsBackToOwnResourceAndRetriesAfterFailure) {
    EXPECT_EQ(testing_support::RunChild("ClassInfoFromOwnResource"), 0u);
}

std::vector<std::string> g_classScripts;
HRESULT FailingFirstScript(bool registering) {
    g_classScripts.push_back(registering ? "first+" : "first-");
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}
HRESULT FailingSecondScript(bool registering) {
    g_classScripts.push_back(registering ? "second+" : "second-");
    return HRESULT_FROM_WIN32(ERROR_KEY_DELETED);
}

// A failing class script does not keep the others from being removed; the
// first failure is the result and the AppID step never runs.
TEST(Module, UnregisteringRunsEveryClassScriptAfterAFailure) {
    auto* const first = g_objectMap[0].updateRegistry;
    auto* const second = g_objectMap[1].updateRegistry;
    g_objectMap[0].updateRegistry = &FailingFirstScript;
    g_objectMap[1].updateRegistry = &FailingSecondScript;
    g_classScripts.clear();
    const HRESULT hr = g_module.UnregisterServer();
    g_objectMap[0].updateRegistry = first;
    g_objectMap[1].updateRegistry = second;
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(g_classScripts, (std::vector<std::string>{"first-", "second-"}));
}

LCID g_localeSeen = 0;
HRESULT LocaleRecordingScript(bool registering) {
    g_localeSeen = ::GetThreadLocale();
    return registering ? HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) : S_OK;
}

// Class scripts run in the system's default locale, whatever the caller's
// thread uses; the caller's locale comes back afterwards. A refused class
// stops registration before the type library; unregistering then removes
// the AppID entries written before it.
TEST(Module, ClassScriptsRunInTheSystemDefaultLocale) {
    auto* const first = g_objectMap[0].updateRegistry;
    auto* const second = g_objectMap[1].updateRegistry;
    g_objectMap[0].updateRegistry = &LocaleRecordingScript;
    g_objectMap[1].updateRegistry = &LocaleRecordingScript;
    const LCID saved = ::GetThreadLocale();
    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    const LCID system = ::GetSystemDefaultLCID();
    ASSERT_NE(system, german);
    for (const bool registering : {true, false}) {
        ASSERT_TRUE(::SetThreadLocale(german));
        g_localeSeen = 0;
        const HRESULT hr = registering ? g_module.RegisterServer() : g_module.UnregisterServer();
        EXPECT_EQ(hr, registering ? HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) : S_OK);
        EXPECT_EQ(g_localeSeen, system) << registering;
        EXPECT_EQ(::GetThreadLocale(), german) << registering;
    }
    ::SetThreadLocale(saved);
    g_objectMap[0].updateRegistry = first;
    g_objectMap[1].updateRegistry = second;
}

} // namespace
