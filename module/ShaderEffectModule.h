#pragma once

// The server module: one per process, built during the DLL's static
// initialisation. It counts the locks that keep the DLL loaded, caches the
// class objects of its object map and registers the server.

#include "com/ClassFactory.h"
#include "com/ComModule.h"

#include <windows.h>

#include <atomic>

namespace quorvel {

struct ObjectMapEntry {
    const CLSID* clsid;
    HRESULT (*updateRegistry)(bool registering);
    HRESULT (*createClassObject)(InstanceCreator creator, IUnknown** cached);
    InstanceCreator createInstance;
    // Per-class hook at module start (true) and termination (false).
    void (*objectMain)(bool starting);
    // The class object, published once with release order, read with acquire.
    std::atomic<IUnknown*> cache;
};

} // namespace quorvel

class CShaderEffectModule {
  public:
    CShaderEffectModule() noexcept;
    ~CShaderEffectModule();
    CShaderEffectModule(const CShaderEffectModule&) = delete;
    CShaderEffectModule& operator=(const CShaderEffectModule&) = delete;

    bool InitFailed() const noexcept { return m_bInitFailed; }

    // The lock count never goes below zero, even for an unmatched unlock.
    LONG Lock() noexcept;
    LONG Unlock() noexcept;
    LONG GetLockCount() const noexcept { return m_nLockCount.load(std::memory_order_acquire); }

    CRITICAL_SECTION* ModuleCriticalSection() noexcept { return &m_csModule; }
    HRESULT AddTermFunction(quorvel::TermFunction function, void* argument) noexcept;

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;
    HRESULT CanUnloadNow() const noexcept { return GetLockCount() == 0 ? S_OK : S_FALSE; }
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;

    // How the module ends. At process exit other modules may be detached
    // already and the loader lock is held, so nothing calls into them then.
    enum class TermReason { Unload, ProcessExit };

    // Runs the class hooks and the termination list, drops the class objects
    // and frees the pipeline library; once only. At process exit the
    // termination list (it releases oleaut32 objects) and the FreeLibrary of
    // the pipeline library are skipped.
    void Term(TermReason reason = TermReason::Unload) noexcept;

    const GUID m_libid;

  private:
    struct TermEntry {
        quorvel::TermFunction function;
        void* argument;
        TermEntry* next;
    };

    std::atomic<LONG> m_nLockCount{0};
    bool m_bInitFailed = false;
    bool m_bModuleSectionReady = false;
    bool m_bObjectMapSectionReady = false;
    bool m_bTerminated = false;
    CRITICAL_SECTION m_csModule = {};
    // Guards the filling of the class-object caches.
    CRITICAL_SECTION m_csObjectMap = {};
    // Most recently registered first.
    TermEntry* m_pTermList = nullptr;
};

extern CShaderEffectModule g_module;
// The creatable classes, in registration order.
extern quorvel::ObjectMapEntry g_objectMap[2];
