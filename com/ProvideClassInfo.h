#pragma once

// IProvideClassInfo over the server's type library, written once for every
// class. The type information is loaded on the first request, under the
// module's critical section, and released at module termination.

#include <oaidl.h>
#include <ocidl.h>
#include <windows.h>

#include <atomic>

namespace quorvel {

// One cached coclass type information.
struct TypeInfoCache {
    const GUID* libid;
    WORD major;
    WORD minor;
    const CLSID* clsid;
    std::atomic<ITypeInfo*> info;
};

// Hands out a new reference to the cached type information, loading it first
// when needed: the registered library for the neutral locale, then for the
// library's own locale, then the library in this module's resource.
HRESULT GetCachedTypeInfo(TypeInfoCache& cache, ITypeInfo** out) noexcept;

// The library's own locale, under which registration records it.
inline constexpr LCID kTypeLibraryLcid = 0x409;

template <const CLSID* Clsid, const GUID* Libid, WORD Major, WORD Minor>
class IProvideClassInfoImpl : public IProvideClassInfo {
  public:
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** typeInfo) override {
        static TypeInfoCache cache = {Libid, Major, Minor, Clsid, {nullptr}};
        return GetCachedTypeInfo(cache, typeInfo);
    }
};

} // namespace quorvel
