#include "module/ShaderEffectModule.h"

#include "com/CriticalSection.h"
#include "com/HResult.h"
#include "pipeline/PipelineLibrary.h"
#include "transform/ShaderEffect.h"
#include "transform/ShaderTransition.h"

#include <new>

namespace {

template <typename T> void NoObjectMain(bool) {}

template <typename T> constexpr quorvel::ObjectMapEntry MapEntry() {
    return {T::kClsid,          &T::UpdateRegistry, &quorvel::CComClassFactory::Create,
            &T::CreateInstance, &NoObjectMain<T>,   {nullptr}};
}

} // namespace

// Constant-initialised, so it is ready before the module's constructor runs.
quorvel::ObjectMapEntry g_objectMap[2] = {
    MapEntry<CShaderEffect>(),
    MapEntry<CShaderTransition>(),
};

CShaderEffectModule g_module;

CShaderEffectModule::CShaderEffectModule() noexcept : m_libid(LIBID_Quorvel) {
    m_bModuleSectionReady = ::InitializeCriticalSectionAndSpinCount(&m_csModule, 0) != FALSE;
    m_bObjectMapSectionReady = ::InitializeCriticalSectionAndSpinCount(&m_csObjectMap, 0) != FALSE;
    m_bInitFailed = !m_bModuleSectionReady || !m_bObjectMapSectionReady;
    for (auto& entry : g_objectMap)
        entry.objectMain(true);
}

CShaderEffectModule::~CShaderEffectModule() { Term(); }

LONG CShaderEffectModule::Lock() noexcept {
    return m_nLockCount.fetch_add(1, std::memory_order_acq_rel) + 1;
}

LONG CShaderEffectModule::Unlock() noexcept {
    LONG count = m_nLockCount.load(std::memory_order_relaxed);
    do {
        if (count <= 0)
            return 0;
    } while (!m_nLockCount.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel,
                                                 std::memory_order_relaxed));
    return count - 1;
}

HRESULT CShaderEffectModule::AddTermFunction(quorvel::TermFunction function,
                                             void* argument) noexcept {
    RETURN_HR_IF(E_UNEXPECTED, !m_bModuleSectionReady);
    auto* entry = new (std::nothrow) TermEntry{function, argument, nullptr};
    RETURN_IF_NULL_ALLOC(entry);
    quorvel::CriticalSectionLock lock(&m_csModule);
    entry->next = m_pTermList;
    m_pTermList = entry;
    return S_OK;
}

HRESULT CShaderEffectModule::GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    RETURN_HR_IF(E_UNEXPECTED, !m_bObjectMapSectionReady);
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    quorvel::ObjectMapEntry* found = nullptr;
    for (auto& entry : g_objectMap) {
        if (::IsEqualCLSID(clsid, *entry.clsid)) {
            found = &entry;
            break;
        }
    }
    RETURN_HR_IF_NULL(CLASS_E_CLASSNOTAVAILABLE, found);

    IUnknown* classObject = found->cache.load(std::memory_order_acquire);
    if (!classObject) {
        quorvel::CriticalSectionLock lock(&m_csObjectMap);
        classObject = found->cache.load(std::memory_order_relaxed);
        if (!classObject) {
            RETURN_IF_FAILED(found->createClassObject(found->createInstance, &classObject));
            found->cache.store(classObject, std::memory_order_release);
        }
    }
    RETURN_IF_FAILED(classObject->QueryInterface(iid, out));
    RETURN_HR_IF_NULL(CLASS_E_CLASSNOTAVAILABLE, *out);
    return S_OK;
}

void CShaderEffectModule::Term(TermReason reason) noexcept {
    const bool exiting = reason == TermReason::ProcessExit;
    if (m_bTerminated)
        return;
    m_bTerminated = true;
    for (auto& entry : g_objectMap)
        entry.objectMain(false);

    TermEntry* list = nullptr;
    if (m_bModuleSectionReady) {
        quorvel::CriticalSectionLock lock(&m_csModule);
        list = m_pTermList;
        m_pTermList = nullptr;
    }
    while (list) {
        TermEntry* next = list->next;
        if (!exiting)
            list->function(list->argument);
        delete list;
        list = next;
    }

    for (auto& entry : g_objectMap)
        quorvel::CComClassFactory::ReleaseCached(
            entry.cache.exchange(nullptr, std::memory_order_acq_rel));

    if (m_bObjectMapSectionReady)
        ::DeleteCriticalSection(&m_csObjectMap);
    if (m_bModuleSectionReady)
        ::DeleteCriticalSection(&m_csModule);
    m_bObjectMapSectionReady = false;
    m_bModuleSectionReady = false;
    if (exiting)
        PipelineLibrary::Abandon();
    else
        PipelineLibrary::Unload();
}

namespace quorvel {

void LockModule() noexcept { g_module.Lock(); }
void UnlockModule() noexcept { g_module.Unlock(); }
CRITICAL_SECTION* ModuleCriticalSection() noexcept { return g_module.ModuleCriticalSection(); }
HRESULT AddModuleTermFunction(TermFunction function, void* argument) noexcept {
    return g_module.AddTermFunction(function, argument);
}

HMODULE ModuleInstance() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return module;
}

} // namespace quorvel
