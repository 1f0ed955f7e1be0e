#pragma once

// The class object of a creatable class. Its count changes atomically because
// clients may call it from any thread. The module's cache holds one reference
// that does not lock the module; every other reference does, so the count
// going 1 -> 2 locks the module and 2 -> 1 unlocks it.

#include <unknwn.h>
#include <windows.h>

#include <atomic>

namespace quorvel {

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class CComClassFactory final : public IClassFactory {
  public:
    // Returns the new class object holding the cache's reference.
    static HRESULT Create(InstanceCreator creator, IUnknown** cached);
    // Drops the cache's reference at module termination.
    static void ReleaseCached(IUnknown* cached) noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  private:
    explicit CComClassFactory(InstanceCreator creator) noexcept : m_pfnCreator(creator) {}
    ~CComClassFactory() = default;

    InstanceCreator m_pfnCreator;
    // Starts with the cache's reference.
    std::atomic<LONG> m_nRef{1};
};

} // namespace quorvel
