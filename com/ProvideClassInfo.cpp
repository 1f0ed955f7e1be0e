#include "com/ProvideClassInfo.h"

#include "com/ComModule.h"
#include "com/ComPtr.h"
#include "com/CriticalSection.h"
#include "com/HResult.h"

#include <oleauto.h>

namespace quorvel {

namespace {

HRESULT LoadLibraryFromModule(ComPtr<ITypeLib>& library) {
    WCHAR path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    RETURN_HR_IF(HResultFromLastError(), length == 0);
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), length >= MAX_PATH);
    return ::LoadTypeLibEx(path, REGKIND_NONE, library.put());
}

HRESULT LoadTypeLibrary(const TypeInfoCache& cache, ComPtr<ITypeLib>& library) {
    // Wine's LoadRegTypeLib for locale 0 looks only under the "0" subkey, so a
    // library registered for its own locale is found by the second attempt.
    HRESULT hr = ::LoadRegTypeLib(*cache.libid, cache.major, cache.minor, 0, library.put());
    if (SUCCEEDED(hr))
        return hr;
    if (SUCCEEDED(::LoadRegTypeLib(*cache.libid, cache.major, cache.minor, kTypeLibraryLcid,
                                   library.put())))
        return S_OK;
    // Not registered: the library in our own resource still describes us.
    if (SUCCEEDED(LoadLibraryFromModule(library)))
        return S_OK;
    return hr;
}

void ReleaseCachedTypeInfo(void* argument) {
    auto* cache = static_cast<TypeInfoCache*>(argument);
    if (ITypeInfo* info = cache->info.exchange(nullptr, std::memory_order_acq_rel))
        info->Release();
}

HRESULT FillCache(TypeInfoCache& cache) {
    CriticalSectionLock lock(ModuleCriticalSection());
    if (cache.info.load(std::memory_order_relaxed))
        return S_OK;
    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(LoadTypeLibrary(cache, library));
    ComPtr<ITypeInfo> info;
    RETURN_IF_FAILED(library->GetTypeInfoOfGuid(*cache.clsid, info.put()));
    // Register the clean-up before publishing, so a cached entry is always released.
    RETURN_IF_FAILED(AddModuleTermFunction(&ReleaseCachedTypeInfo, &cache));
    cache.info.store(info.detach(), std::memory_order_release);
    return S_OK;
}

} // namespace

HRESULT GetCachedTypeInfo(TypeInfoCache& cache, ITypeInfo** out) noexcept {
    RETURN_HR_IF_NULL(E_POINTER, out);
    *out = nullptr;
    if (!cache.info.load(std::memory_order_acquire))
        RETURN_IF_FAILED(FillCache(cache));
    ComPtr<ITypeInfo> info(cache.info.load(std::memory_order_acquire));
    RETURN_HR_IF_NULL(E_UNEXPECTED, info);
    *out = info.detach();
    return S_OK;
}

} // namespace quorvel
