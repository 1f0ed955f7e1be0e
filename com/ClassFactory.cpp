#include "com/ClassFactory.h"

#include "com/ComModule.h"
#include "com/HResult.h"

#include <new>

namespace quorvel {

HRESULT CComClassFactory::Create(InstanceCreator creator, IUnknown** cached) {
    RETURN_HR_IF_NULL(E_POINTER, cached);
    *cached = nullptr;
    auto* factory = new (std::nothrow) CComClassFactory(creator);
    RETURN_IF_NULL_ALLOC(factory);
    *cached = factory;
    return S_OK;
}

void CComClassFactory::ReleaseCached(IUnknown* cached) noexcept {
    // Only the cache's reference ends the object; a client's extra Release
    // cannot, so the cache never points at a destroyed class object.
    auto* factory = static_cast<CComClassFactory*>(static_cast<IClassFactory*>(cached));
    if (factory && factory->m_nRef.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete factory;
}

HRESULT CComClassFactory::QueryInterface(REFIID iid, void** out) {
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    RETURN_HR_IF(E_NOINTERFACE,
                 !::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IClassFactory));
    AddRef();
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
}

ULONG CComClassFactory::AddRef() {
    const LONG count = m_nRef.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count == 2)
        LockModule();
    return static_cast<ULONG>(count);
}

ULONG CComClassFactory::Release() {
    // Client references never take the count below the cache's one.
    LONG count = m_nRef.load(std::memory_order_relaxed);
    do {
        if (count <= 1)
            return static_cast<ULONG>(count);
    } while (!m_nRef.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel,
                                           std::memory_order_relaxed));
    if (count - 1 == 1)
        UnlockModule();
    return static_cast<ULONG>(count - 1);
}

HRESULT CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    COM_METHOD_BEGIN
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    RETURN_HR_IF(CLASS_E_NOAGGREGATION, outer && !::IsEqualIID(iid, IID_IUnknown));
    return m_pfnCreator(outer, iid, out);
    COM_METHOD_END
}

HRESULT CComClassFactory::LockServer(BOOL lock) {
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

} // namespace quorvel
